// Icon images made by test code, in the forms modules and ICO files store
// them, frames and sets made of them, and little-endian helpers for building
// and damaging fixture bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "icon_set.h"

namespace brimlet::test {

using Bytes = std::vector<std::uint8_t>;

// A well-formed icon image of width x height pixels at bitCount bits per
// pixel (1, 4, 8, 24 or 32): a 40-byte BITMAPINFOHEADER (biHeight twice the
// height, one plane, biClrUsed 0, biSizeImage the colour and mask bytes), a
// colour table of 2^bitCount entries for bitCount up to 8, the colour bitmap
// and the 1-bit AND mask, every row padded to a multiple of 4 bytes. The bytes
// of the table, the pixels and the mask follow a pattern picked by seed, so two
// images of one size differ when their seeds do.
std::vector<std::uint8_t> BuildIconImage(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                         std::uint8_t seed = 0);

// The header fields of an icon image built from a shape; fields left out are
// those of a 16 x 16, 4-bit image.
struct DibShape {
  std::int32_t width = 16;
  std::int32_t height = 16;  // picture rows; biHeight is twice this
  std::uint16_t bitCount = 4;
  std::uint16_t planes = 1;
  std::uint32_t clrUsed = 0;
  std::uint32_t sizeImage = 0;  // biSizeImage as stored
  std::uint8_t seed = 1;
};

// An icon image whose header holds the shape's fields as given (biSizeImage
// included, right or not), followed by a colour table (clrUsed entries, or
// 2^bitCount for bitCount up to 8 when clrUsed is 0), the colour bits and the
// mask bits, sized by the format's own arithmetic (rows padded to 32 bits).
// The bytes after the header are a pattern that differs per offset and per
// seed, so misplaced or mixed-up bytes show.
std::vector<std::uint8_t> BuildIconImage(const DibShape& shape);

// The size BuildIconImage gives for width, height and bitCount, from the same
// arithmetic.
std::size_t IconImageSize(std::int32_t width, std::int32_t height, std::uint16_t bitCount);

// A complete PNG image of width x height pixels, 8-bit RGBA (colour type 6):
// the signature, IHDR, one IDAT holding a zlib stream of stored blocks, and
// IEND, every chunk with its CRC. Any PNG decoder reads it; the pixels follow
// a pattern picked by seed.
std::vector<std::uint8_t> BuildPngImage(std::uint32_t width, std::uint32_t height, std::uint8_t seed = 0);

// A PNG whose IHDR holds the given fields, with a small IDAT of filler bytes
// that no decoder reads (the writers never decode it), and IEND.
std::vector<std::uint8_t> BuildPngWithHeader(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth,
                                             std::uint8_t colorType);

// A frame holding the image bytes, bound as the readers bind theirs.
IconFrame MakeFrame(Bytes bytes);
IconFrame MakeDibFrame(const DibShape& shape);
IconSet MakeSet(std::vector<IconFrame> frames);

// Little-endian stores into bytes that already hold the field.
void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
// Little-endian appends.
void AppendU16(std::vector<std::uint8_t>& bytes, std::uint16_t value);
void AppendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value);
// A little-endian load of a field the bytes hold.
std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset);

// length bytes from offset from; the range must lie inside bytes.
Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length);

// Bytes as a string and back, for comparing with file contents.
std::string AsString(const Bytes& bytes);
Bytes AsBytes(const std::string& text);

}  // namespace brimlet::test
