#include "support/image_builder.h"

#include <algorithm>

namespace brimlet::test {

namespace {

std::size_t RowBytes(std::int32_t width, std::uint16_t bitCount) {
  const auto bits = static_cast<std::size_t>(width) * bitCount;
  return (bits + 31) / 32 * 4;
}

std::size_t PaletteEntries(std::uint16_t bitCount) {
  return bitCount <= 8 ? std::size_t{1} << bitCount : 0;
}

void AppendU32BigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void AppendChunk(std::vector<std::uint8_t>& png, const char (&type)[5], const std::vector<std::uint8_t>& data) {
  AppendU32BigEndian(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t crcStart = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  AppendU32BigEndian(png, Crc32(png.data() + crcStart, png.size() - crcStart));
}

}  // namespace

std::size_t IconImageSize(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
  const auto rows = static_cast<std::size_t>(height);
  return 40 + 4 * PaletteEntries(bitCount) + RowBytes(width, bitCount) * rows + RowBytes(width, 1) * rows;
}

std::vector<std::uint8_t> BuildIconImage(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                         std::uint8_t seed) {
  const auto rows = static_cast<std::size_t>(height);
  const std::size_t colorBytes = RowBytes(width, bitCount) * rows;
  const std::size_t maskBytes = RowBytes(width, 1) * rows;
  std::vector<std::uint8_t> image;
  image.reserve(IconImageSize(width, height, bitCount));
  AppendU32(image, 40);
  AppendU32(image, static_cast<std::uint32_t>(width));
  AppendU32(image, static_cast<std::uint32_t>(height) * 2);
  AppendU16(image, 1);
  AppendU16(image, bitCount);
  AppendU32(image, 0);  // BI_RGB
  AppendU32(image, static_cast<std::uint32_t>(colorBytes + maskBytes));
  AppendU32(image, 0);
  AppendU32(image, 0);
  AppendU32(image, 0);  // biClrUsed
  AppendU32(image, 0);
  for (std::size_t i = 0; i < PaletteEntries(bitCount); ++i) {
    image.push_back(static_cast<std::uint8_t>(i * 3 + seed));
    image.push_back(static_cast<std::uint8_t>(i * 5 + seed));
    image.push_back(static_cast<std::uint8_t>(i * 7 + seed));
    image.push_back(0);
  }
  for (std::size_t i = 0; i < colorBytes; ++i) image.push_back(static_cast<std::uint8_t>(i * 13 + seed * 31 + 1));
  for (std::size_t i = 0; i < maskBytes; ++i) image.push_back(static_cast<std::uint8_t>((i + seed) % 3 == 0 ? 0xFF : 0x00));
  return image;
}

std::vector<std::uint8_t> BuildPngImage(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

  std::vector<std::uint8_t> header;
  AppendU32BigEndian(header, width);
  AppendU32BigEndian(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  AppendChunk(png, "IHDR", header);

  // The filtered rows: a filter byte of 0 (none), then 4 bytes per pixel.
  std::vector<std::uint8_t> raw;
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (std::uint32_t x = 0; x < width * 4; ++x) raw.push_back(static_cast<std::uint8_t>(x * 7 + y * 3 + seed));
  }
  // A zlib stream of stored blocks, ended by the Adler-32 of the raw bytes.
  std::vector<std::uint8_t> zlib = {0x78, 0x01};
  std::size_t done = 0;
  do {
    const std::size_t length = std::min<std::size_t>(raw.size() - done, 0xFFFF);
    const bool last = done + length == raw.size();
    zlib.push_back(last ? 1 : 0);
    AppendU16(zlib, static_cast<std::uint16_t>(length));
    AppendU16(zlib, static_cast<std::uint16_t>(~length));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
                raw.begin() + static_cast<std::ptrdiff_t>(done + length));
    done += length;
  } while (done < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  AppendU32BigEndian(zlib, (b << 16) | a);
  AppendChunk(png, "IDAT", zlib);
  AppendChunk(png, "IEND", {});
  return png;
}

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendU16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace brimlet::test
