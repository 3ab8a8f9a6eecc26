// Reads an ICO file into a new IconSet, one frame per directory entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "icon_set.h"
#include "platform/platform_file.h"

namespace brimlet {

std::optional<IconSet> LoadIcoFile(const std::string& path);

// Reads the 6-byte header at the file's current position: the image count, or
// nullopt when a read falls short or reserved is not 0 or type is not 1.
std::optional<std::uint16_t> ReadIcoHeader(InputFile& file);

}  // namespace brimlet
