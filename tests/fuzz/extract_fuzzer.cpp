// ExtractFileIcon on arbitrary bytes. The first input byte picks the source's
// and the output's suffix and the mode, the second the icon number; the rest is
// the source file. Checks what the call promises: a count that is 0 writes
// nothing, and a number past the count writes nothing either.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "extract_command.h"
#include "fuzz_support.h"

namespace {

constexpr const char* kSourceSuffixes[] = {".ico", ".exe", ".dll", ".icl", ".ICL", ".Exe", "ico", ".txt"};
constexpr const char* kOutputSuffixes[] = {".ico", ".bmp", ".ICO", ".png"};

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brimlet;
  if (size < 2) return 0;
  const std::uint8_t selector = data[0];
  const std::int32_t number = static_cast<std::int8_t>(data[1]);
  const std::string source = fuzz::ScratchDir() + "/source" + kSourceSuffixes[selector & 7];
  const std::string output = fuzz::ScratchDir() + "/out" + kOutputSuffixes[(selector >> 3) & 3];
  const std::int32_t mode = (selector & 0x20) != 0 ? 1 : 0;  // 1: the clipboard
  if (!fuzz::WriteWholeFile(source, *ByteSpan(data, size).from(2))) return 0;

  const std::int32_t count = ExtractFileIcon(source, mode, output, number);
  if (count < 0) __builtin_trap();
  if ((count == 0 || mode == 1) && Exists(output)) __builtin_trap();

  // One past the count: nothing, and the count is not reported.
  const std::string past = fuzz::ScratchDir() + "/past.ico";
  if (count > 0 && count < INT32_MAX) {
    if (ExtractFileIcon(source, 0, past, count + 1) != 0 || Exists(past)) __builtin_trap();
  }
  fuzz::ClearScratchDir();
  return 0;
}
