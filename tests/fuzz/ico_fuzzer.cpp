// The ICO reader on arbitrary bytes: read the file, write the set back into
// memory, read that again. The second reading must give the same frames, with
// the one change the writer makes (it clears biSizeImage of bitmap images),
// and writing it again must give the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_sink.h"
#include "fuzz_support.h"
#include "ico_reader.h"
#include "ico_writer.h"

namespace {

// Bitmap images come back with bytes 20-23 cleared; everything else unchanged.
bool SameImage(const brimlet::IconFrame& read, const brimlet::IconFrame& reread) {
  if (read.imageData.size() != reread.imageData.size()) return false;
  for (std::size_t i = 0; i < read.imageData.size(); ++i) {
    const bool cleared = !read.isPng() && read.imageData.size() >= 24 && i >= 20 && i < 24;
    const std::uint8_t expected = cleared ? std::uint8_t{0} : read.imageData[i];
    if (reread.imageData[i] != expected) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brimlet;
  const std::string first = fuzz::ScratchDir() + "/input.ico";
  const std::string second = fuzz::ScratchDir() + "/again.ico";
  if (!fuzz::WriteWholeFile(first, ByteSpan(data, size))) return 0;

  const auto set = LoadIcoFile(first);
  if (!set) return 0;
  MemorySink written;
  if (!WriteIcoFile(*set, written)) return 0;
  if (!fuzz::WriteWholeFile(second, ByteSpan(written.bytes()))) return 0;

  const auto again = LoadIcoFile(second);
  if (!again) __builtin_trap();  // what the writer wrote must read back
  if (again->frames.size() != set->frames.size()) __builtin_trap();
  for (std::size_t i = 0; i < set->frames.size(); ++i) {
    const IconFrame& a = set->frames[i];
    const IconFrame& b = again->frames[i];
    if (!SameImage(a, b)) __builtin_trap();
    if (a.width != b.width || a.height != b.height || a.bitsPerPixel != b.bitsPerPixel) __builtin_trap();
  }
  MemorySink rewritten;
  if (!WriteIcoFile(*again, rewritten) || rewritten.bytes() != written.bytes()) __builtin_trap();
  return 0;
}
