// Icon images made by test code, in the forms modules and ICO files store
// them, and little-endian helpers for building and damaging fixture bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brimlet::test {

// A well-formed icon image of width x height pixels at bitCount bits per
// pixel (1, 4, 8, 24 or 32): a 40-byte BITMAPINFOHEADER (biHeight twice the
// height, one plane, biClrUsed 0, biSizeImage the colour and mask bytes), a
// colour table of 2^bitCount entries for bitCount up to 8, the colour bitmap
// and the 1-bit AND mask, every row padded to a multiple of 4 bytes. The bytes
// of the table, the pixels and the mask follow a pattern picked by seed, so two
// images of one size differ when their seeds do.
std::vector<std::uint8_t> BuildIconImage(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                         std::uint8_t seed = 0);

// The size BuildIconImage gives, from the same arithmetic.
std::size_t IconImageSize(std::int32_t width, std::int32_t height, std::uint16_t bitCount);

// A complete PNG image of width x height pixels, 8-bit RGBA (colour type 6):
// the signature, IHDR, one IDAT holding a zlib stream of stored blocks, and
// IEND, every chunk with its CRC. Any PNG decoder reads it; the pixels follow
// a pattern picked by seed.
std::vector<std::uint8_t> BuildPngImage(std::uint32_t width, std::uint32_t height, std::uint8_t seed = 0);

// Little-endian stores into bytes that already hold the field.
void PutU16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
// Little-endian appends.
void AppendU16(std::vector<std::uint8_t>& bytes, std::uint16_t value);
void AppendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value);

}  // namespace brimlet::test
