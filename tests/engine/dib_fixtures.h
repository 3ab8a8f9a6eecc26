// Small icon images built by the tests: bitmap images with a BITMAPINFOHEADER
// of a given size and depth, PNG images with a given header chunk, frames and
// sets made of them. The pixel bytes are a pattern that differs per offset and
// per seed, so misplaced or mixed-up bytes show.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "icon_set.h"

namespace brimlet::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16At(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes.at(at) = static_cast<std::uint8_t>(value);
  bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}
inline void Put32At(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}
inline std::uint32_t Get32At(const Bytes& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{bytes.at(at + i)} << (8 * i);
  return value;
}

struct DibSpec {
  std::int32_t width = 16;
  std::int32_t height = 16;  // picture rows; biHeight is twice this
  std::uint16_t bitCount = 4;
  std::uint16_t planes = 1;
  std::uint32_t clrUsed = 0;
  std::uint32_t sizeImage = 0;  // biSizeImage as stored
  std::uint8_t seed = 1;
};

inline std::uint32_t PaletteEntriesFor(const DibSpec& spec) {
  if (spec.clrUsed != 0) return spec.clrUsed;
  switch (spec.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// A complete icon image: header, colour table, colour bits, mask bits, sized by
// the format's own arithmetic (rows padded to 32 bits).
inline Bytes MakeDibImage(const DibSpec& spec) {
  const auto rowBits = static_cast<std::uint32_t>(spec.width) * spec.bitCount * spec.planes;
  const std::uint32_t colorStride = (rowBits + 31) / 32 * 4;
  const std::uint32_t maskStride = (static_cast<std::uint32_t>(spec.width) + 31) / 32 * 4;
  const auto rows = static_cast<std::uint32_t>(spec.height);
  const std::size_t size = 40 + 4 * PaletteEntriesFor(spec) + (colorStride + maskStride) * rows;
  Bytes bytes(size);
  for (std::size_t i = 40; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + spec.seed * 31 + (i >> 8));
  Put32At(bytes, 0, 40);
  Put32At(bytes, 4, static_cast<std::uint32_t>(spec.width));
  Put32At(bytes, 8, static_cast<std::uint32_t>(2 * spec.height));
  Put16At(bytes, 12, spec.planes);
  Put16At(bytes, 14, spec.bitCount);
  Put32At(bytes, 16, 0);  // BI_RGB
  Put32At(bytes, 20, spec.sizeImage);
  Put32At(bytes, 32, spec.clrUsed);
  return bytes;
}

inline IconFrame MakeFrame(Bytes bytes) {
  IconFrame frame;
  frame.imageData = std::move(bytes);
  BindFrame(&frame);
  return frame;
}
inline IconFrame MakeDibFrame(const DibSpec& spec) { return MakeFrame(MakeDibImage(spec)); }

inline IconSet MakeSet(std::vector<IconFrame> frames) {
  IconSet set;
  set.frames = std::move(frames);
  return set;
}

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void AppendPngChunk(Bytes& out, const char (&type)[5], const Bytes& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, Crc32(out.data() + typeAt, 4 + data.size()));
}

// A PNG: signature, IHDR with the given fields, a small IDAT of filler bytes
// (the writers never decode it) and IEND.
inline Bytes MakePngImage(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth,
                          std::uint8_t colorType) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  PutBig32(ihdr, width);
  PutBig32(ihdr, height);
  ihdr.push_back(bitDepth);
  ihdr.push_back(colorType);
  ihdr.push_back(0);  // compression
  ihdr.push_back(0);  // filter
  ihdr.push_back(0);  // interlace
  AppendPngChunk(out, "IHDR", ihdr);
  Bytes idat(37);
  for (std::size_t i = 0; i < idat.size(); ++i) idat[i] = static_cast<std::uint8_t>(0x55 ^ i);
  AppendPngChunk(out, "IDAT", idat);
  AppendPngChunk(out, "IEND", {});
  return out;
}

// Bytes as a string, for comparing with file contents.
inline std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace brimlet::test
