#include "icon_set.h"

#include <array>

namespace brimlet {

DibHeader DibHeader::Read(ByteSpan image) {
  DibHeader header;
  header.biSize = image.u32(0).value_or(0);
  header.biWidth = image.i32(4).value_or(0);
  header.biHeight = image.i32(8).value_or(0);
  header.biPlanes = image.u16(12).value_or(0);
  header.biBitCount = image.u16(14).value_or(0);
  header.biSizeImage = image.u32(kSizeImageOffset).value_or(0);
  header.biClrUsed = image.u32(32).value_or(0);
  return header;
}

bool IsPngImage(ByteSpan image) {
  static constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return image.startsWith(ByteSpan(kSignature.data(), kSignature.size()));
}

std::uint16_t DibPaletteEntries(const DibHeader& header) {
  if (header.biClrUsed != 0) return static_cast<std::uint16_t>(header.biClrUsed);
  switch (header.biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

std::uint16_t DibPaletteBytes(const DibHeader& header) {
  return static_cast<std::uint16_t>(4u * DibPaletteEntries(header));
}

std::uint64_t DibColorBits(const DibHeader& header) {
  return std::uint64_t{header.biSize} + DibPaletteBytes(header);
}

std::int32_t DibRowStride(const DibHeader& header) {
  // The rule is defined in signed 32-bit arithmetic; it is computed with
  // unsigned wrap-around so that huge damaged values are defined behaviour,
  // and the arithmetic shift is applied to the wrapped result.
  const std::uint32_t bits = std::uint32_t{header.biBitCount} * header.biPlanes *
                             static_cast<std::uint32_t>(header.biWidth);
  const auto rounded = static_cast<std::int32_t>(bits + 31u);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(rounded >> 3) & ~std::uint32_t{3});
}

bool BindFrame(IconFrame* frame) {
  if (frame == nullptr) return false;
  frame->header = DibHeader::Read(frame->bytes());
  frame->width = frame->header.biWidth;
  frame->height = frame->header.biHeight / 2;
  // Two 16-bit fields of a damaged header can multiply past INT32_MAX: the
  // product is formed unsigned and wraps rather than overflowing.
  frame->bitsPerPixel =
      static_cast<std::int32_t>(std::uint32_t{frame->header.biPlanes} * frame->header.biBitCount);
  frame->colorBits = static_cast<std::int64_t>(DibColorBits(frame->header));
  frame->maskBits = frame->colorBits + std::int64_t{DibRowStride(frame->header)} * frame->height;
  return true;
}

}  // namespace brimlet
