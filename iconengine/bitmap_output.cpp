#include "bitmap_output.h"

#include <new>
#include <vector>

#include "platform/clipboard.h"
#include "platform/platform_file.h"

namespace brimlet {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kHeightOffset = 8;  // biHeight in the image header

void PutI32At(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

std::optional<BitmapLayout> BitmapLayoutOf(const IconFrame& frame) {
  if (frame.isPng()) return std::nullopt;
  // The header as the image holds it now, not as it was when bound.
  const DibHeader header = DibHeader::Read(frame.bytes());
  BitmapLayout layout;
  layout.paletteBytes = DibPaletteBytes(header);
  layout.stride = DibRowStride(header);
  layout.height = header.biHeight / 2;
  if (layout.stride < 0 || layout.height < 0) return std::nullopt;
  const std::uint64_t bits = std::uint64_t{static_cast<std::uint32_t>(layout.stride)} *
                             static_cast<std::uint32_t>(layout.height);
  const std::uint64_t imageBytes = kInfoHeaderSize + std::uint64_t{layout.paletteBytes} + bits;
  if (imageBytes > frame.imageSize()) return std::nullopt;
  const std::uint64_t fileSize = imageBytes + kFileHeaderSize;
  if (fileSize > UINT32_MAX) return std::nullopt;
  layout.imageBytes = static_cast<std::uint32_t>(imageBytes);
  layout.fileSize = static_cast<std::uint32_t>(fileSize);
  layout.bitsOffset = kFileHeaderSize + kInfoHeaderSize + layout.paletteBytes;
  return layout;
}

bool WriteFrameAsBitmap(const IconFrame& frame, ByteSink& sink) {
  try {
    const auto layout = BitmapLayoutOf(frame);
    if (!layout) return false;

    std::vector<std::uint8_t> fileHeader;
    fileHeader.reserve(kFileHeaderSize);
    fileHeader.push_back('B');
    fileHeader.push_back('M');
    PutU32(fileHeader, layout->fileSize);
    PutU16(fileHeader, 0);
    PutU16(fileHeader, 0);
    PutU32(fileHeader, layout->bitsOffset);
    if (!sink.Write(ByteSpan(fileHeader))) return false;

    // The image header, colour table and colour bits, from a copy in which
    // biHeight is halved; the frame itself stays as it is.
    const auto source = frame.bytes().sub(0, layout->imageBytes);
    if (!source) return false;
    std::vector<std::uint8_t> body = source->copy();
    PutI32At(body, kHeightOffset, layout->height);
    return sink.Write(ByteSpan(body));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::int32_t SaveFrameAsBitmap(const std::string& path, const IconFrame& frame) {
  // Decided before the file is created: a refused frame leaves no file behind.
  if (!BitmapLayoutOf(frame)) return 0;
  auto file = OutputFile::Create(path);
  if (!file) return 0;
  return WriteFrameAsBitmap(frame, *file) ? 1 : 0;
}

std::int32_t CopyFrameToClipboard(const IconFrame& frame) {
  if (frame.isPng()) return 0;
  const ByteSpan image = frame.bytes();
  const std::int32_t halved = image.i32(kHeightOffset).value_or(0) / 2;
  return PlaceDibOnClipboard(image, kHeightOffset, halved) ? 1 : 0;
}

}  // namespace brimlet
