// The engine's entry point: one icon group of a module or an ICO file, written
// as an ICO or BMP file or copied to the clipboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brimlet {

// What became of the output of one call.
enum class ExtractOutput {
  Nothing,      // nothing was set out to be written (no such group, unreadable group, other suffix)
  Written,      // the file or the clipboard content was written whole
  WriteFailed,  // a file or the clipboard was to be written and could not be
};

struct ExtractReport {
  std::int32_t groupCount = 0;  // what ExtractFileIcon returns
  ExtractOutput output = ExtractOutput::Nothing;
};

// Arguments left as std::nullopt take their defaults: outputMode 1 (clipboard),
// outputPath empty, iconNumber 1. Returns the number of icon groups in the
// source, or 0.
std::int32_t ExtractFileIcon(std::string_view sourcePath, std::optional<std::int32_t> outputMode = {},
                             std::optional<std::string_view> outputPath = {},
                             std::optional<std::int32_t> iconNumber = {});

// The same call, also telling what became of the output.
ExtractReport ExtractFileIconReport(std::string_view sourcePath, std::optional<std::int32_t> outputMode = {},
                                    std::optional<std::string_view> outputPath = {},
                                    std::optional<std::int32_t> iconNumber = {});

}  // namespace brimlet
