#include "ico_writer.h"

#include <new>
#include <optional>
#include <vector>

#include "platform/platform_file.h"

namespace brimlet {

namespace {

constexpr std::uint32_t kIcoHeaderSize = 6;
constexpr std::uint32_t kIcoEntrySize = 16;

// The directory fields of one image.
struct EntryFields {
  std::uint8_t width = 0;
  std::uint8_t height = 0;
  std::uint8_t colorCount = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
};

// Bitmap images: everything from the image's own header. 256 pixels becomes 0
// through the low 8 bits.
EntryFields BitmapEntryFields(const IconFrame& frame) {
  EntryFields fields;
  fields.width = static_cast<std::uint8_t>(frame.width);
  fields.height = static_cast<std::uint8_t>(frame.height);
  const std::uint32_t depth = std::uint32_t{frame.header.biPlanes} * frame.header.biBitCount;
  fields.colorCount = static_cast<std::uint8_t>(depth < 8 ? 1u << depth : 0u);
  fields.planes = frame.header.biPlanes;
  fields.bitCount = frame.header.biBitCount;
  return fields;
}

// PNG stores its integers big-endian.
std::optional<std::uint32_t> BigEndian32(ByteSpan bytes, std::uint64_t offset) {
  std::uint32_t value = 0;
  for (std::uint64_t i = 0; i < 4; ++i) {
    const auto byte = bytes.u8(offset + i);
    if (!byte) return std::nullopt;
    value = (value << 8) | *byte;
  }
  return value;
}

// Bits per pixel of a PNG from its header chunk: bit depth times the samples of
// the colour type (grey 1, RGB 3, palette 1, grey with alpha 2, RGBA 4). An
// unknown colour type gives 0.
std::uint16_t PngBitsPerPixel(std::uint8_t bitDepth, std::uint8_t colorType) {
  std::uint16_t samples = 0;
  switch (colorType) {
    case 0: samples = 1; break;
    case 2: samples = 3; break;
    case 3: samples = 1; break;
    case 4: samples = 2; break;
    case 6: samples = 4; break;
    default: return 0;
  }
  return static_cast<std::uint16_t>(bitDepth * samples);
}

// PNG images: width and height from the IHDR chunk that must follow the
// signature (bytes 16 to 23, big-endian; 256 becomes 0 through the low 8 bits),
// planes 1, bit count from bit depth (byte 24) and colour type (byte 25),
// colour count 0. A PNG cut short before the end of those fields, or whose
// first chunk is not IHDR, gets width 0, height 0 (which readers take for 256,
// the size such images usually have), planes 1 and bit count 0: the entry then
// claims nothing the image cannot back up, and its bytes are still written.
EntryFields PngEntryFields(ByteSpan image) {
  EntryFields fields;
  fields.planes = 1;
  static constexpr std::uint32_t kIhdr = 0x49484452;  // "IHDR"
  const auto type = BigEndian32(image, 12);
  const auto width = BigEndian32(image, 16);
  const auto height = BigEndian32(image, 20);
  const auto depth = image.u8(24);
  const auto colorType = image.u8(25);
  if (!type || *type != kIhdr || !width || !height || !depth || !colorType) return fields;
  fields.width = static_cast<std::uint8_t>(*width);
  fields.height = static_cast<std::uint8_t>(*height);
  fields.bitCount = PngBitsPerPixel(*depth, *colorType);
  return fields;
}

// Writes one image in one write, with the size-image field of a bitmap header
// written as 0. The frame is not touched: when the field holds something other
// than 0, the image goes out from a copy in scratch.
bool WriteImage(const IconFrame& frame, ByteSink& sink, std::vector<std::uint8_t>& scratch) {
  const ByteSpan image = frame.bytes();
  constexpr std::size_t kField = DibHeader::kSizeImageOffset;
  const bool hasField = !frame.isPng() && image.contains(kField, 4);
  if (!hasField || image.u32(kField).value_or(0) == 0) return sink.Write(image);
  scratch.assign(image.data(), image.data() + image.size());
  for (std::size_t i = 0; i < 4; ++i) scratch[kField + i] = 0;
  return sink.Write(ByteSpan(scratch));
}

}  // namespace

bool WriteIcoHeader(ByteSink& file, std::uint32_t count) {
  const std::uint16_t fields[] = {0, 1, static_cast<std::uint16_t>(count)};
  for (const std::uint16_t field : fields) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(field), static_cast<std::uint8_t>(field >> 8)};
    if (!file.Write(ByteSpan(bytes, sizeof bytes))) return false;
  }
  return true;
}

std::uint32_t IcoImageOffset(const IconSet& set, std::size_t index) {
  std::uint32_t offset = kIcoHeaderSize + kIcoEntrySize * set.imageCount();
  for (std::size_t i = 0; i < index && i < set.frames.size(); ++i) offset += set.frames[i].imageSize();
  return offset;
}

std::array<std::uint8_t, 16> IcoEntryFor(const IconFrame& frame, std::uint32_t imageOffset) {
  const EntryFields fields = frame.isPng() ? PngEntryFields(frame.bytes()) : BitmapEntryFields(frame);
  std::array<std::uint8_t, 16> entry{};
  auto put = [&entry](std::size_t at, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) entry[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put(0, fields.width, 1);
  put(1, fields.height, 1);
  put(2, fields.colorCount, 1);
  put(3, 0, 1);  // reserved
  put(4, fields.planes, 2);
  put(6, fields.bitCount, 2);
  put(8, frame.imageSize(), 4);
  put(12, imageOffset, 4);
  return entry;
}

bool WriteIcoFile(const IconSet& set, ByteSink& sink) {
  try {
    if (!WriteIcoHeader(sink, set.imageCount())) return false;
    // The whole directory goes out before the first image; the offsets are
    // summed as the entries are written, which is IcoImageOffset's value.
    std::uint32_t offset = IcoImageOffset(set, 0);
    for (const IconFrame& frame : set.frames) {
      const auto entry = IcoEntryFor(frame, offset);
      if (!sink.Write(ByteSpan(entry.data(), entry.size()))) return false;
      offset += frame.imageSize();
    }
    std::vector<std::uint8_t> scratch;
    for (const IconFrame& frame : set.frames) {
      if (!WriteImage(frame, sink, scratch)) return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool SaveIcoFile(const IconSet& set, const std::string& path) {
  auto file = OutputFile::Create(path);
  if (!file) return false;
  return WriteIcoFile(set, *file);
}

}  // namespace brimlet
