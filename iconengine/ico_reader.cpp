#include "ico_reader.h"

#include <new>
#include <vector>

namespace brimlet {

namespace {

constexpr std::uint32_t kIcoEntrySize = 16;

std::optional<std::uint16_t> ReadU16(InputFile& file) {
  std::uint8_t bytes[2] = {};
  if (!file.ReadExact(bytes, sizeof bytes)) return std::nullopt;
  return ByteSpan(bytes, sizeof bytes).u16(0);
}

// Reads the image an entry names into frame. The entry's place is checked
// against the file's length first, so nothing is allocated for bytes the file
// does not hold.
bool ReadImage(InputFile& file, std::uint64_t fileLength, ByteSpan entry, IconFrame& frame) {
  const auto size = entry.u32(8);
  const auto offset = entry.u32(12);
  if (!size || !offset) return false;
  if (*offset > fileLength || *size > fileLength - *offset) return false;
  frame.imageData.resize(*size);
  if (!file.Seek(*offset)) return false;
  if (*size != 0 && !file.ReadExact(frame.imageData.data(), *size)) return false;
  BindFrame(&frame);
  return true;
}

std::optional<IconSet> ReadIcoFile(InputFile& file, const std::string& path) {
  const auto count = ReadIcoHeader(file);
  if (!count) return std::nullopt;

  IconSet set;
  set.fileName = path;
  set.frames.resize(*count);

  // The whole directory in one read, straight after the header.
  std::vector<std::uint8_t> directory(std::size_t{kIcoEntrySize} * *count);
  if (!directory.empty() && !file.ReadExact(directory.data(), static_cast<std::uint32_t>(directory.size()))) {
    return std::nullopt;
  }
  const auto fileLength = file.Length();
  if (!fileLength) return std::nullopt;

  const ByteSpan entries(directory);
  for (std::size_t i = 0; i < set.frames.size(); ++i) {
    const auto entry = entries.sub(std::uint64_t{kIcoEntrySize} * i, kIcoEntrySize);
    if (!entry || !ReadImage(file, *fileLength, *entry, set.frames[i])) return std::nullopt;
  }
  return set;
}

}  // namespace

std::optional<std::uint16_t> ReadIcoHeader(InputFile& file) {
  const auto reserved = ReadU16(file);
  if (!reserved || *reserved != 0) return std::nullopt;
  const auto type = ReadU16(file);
  if (!type || *type != 1) return std::nullopt;
  return ReadU16(file);
}

std::optional<IconSet> LoadIcoFile(const std::string& path) {
  try {
    auto file = InputFile::Open(path);
    if (!file) return std::nullopt;
    return ReadIcoFile(*file, path);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace brimlet
