// The in-memory icon: every image of one icon group or one ICO file, each held
// as its stored bytes plus the values BindFrame derives from them, and the
// bitmap geometry rules shared by the readers and the BMP writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "byte_span.h"

namespace brimlet {

// The fields of a BITMAPINFOHEADER that the engine reads, decoded from the
// first bytes of an image. A field that lies past the end of a short image
// reads as 0, so nothing outside the image is ever touched.
struct DibHeader {
  std::uint32_t biSize = 0;       // offset 0
  std::int32_t biWidth = 0;       // offset 4
  std::int32_t biHeight = 0;      // offset 8: colour and mask rows together
  std::uint16_t biPlanes = 0;     // offset 12
  std::uint16_t biBitCount = 0;   // offset 14
  std::uint32_t biSizeImage = 0;  // offset 20
  std::uint32_t biClrUsed = 0;    // offset 32

  static constexpr std::uint32_t kSizeImageOffset = 20;
  static DibHeader Read(ByteSpan image);
};

// Images in the PNG form of newer modules begin with this signature instead of
// a bitmap header.
bool IsPngImage(ByteSpan image);

struct IconFrame {
  std::int32_t width = 0;         // biWidth
  std::int32_t height = 0;        // biHeight / 2, truncated toward zero
  std::int32_t bitsPerPixel = 0;  // biPlanes * biBitCount
  std::vector<std::uint8_t> imageData;  // the image's bytes exactly as stored
  DibHeader header;                     // decoded from the start of imageData
  // Where the colour (XOR) and mask (AND) bitmaps begin, as offsets into
  // imageData. They are derived from the header alone and may lie outside the
  // image when the header is damaged; users check them against imageSize().
  std::int64_t colorBits = 0;
  std::int64_t maskBits = 0;

  std::uint32_t imageSize() const { return static_cast<std::uint32_t>(imageData.size()); }
  ByteSpan bytes() const { return ByteSpan(imageData); }
  bool isPng() const { return IsPngImage(bytes()); }
};

struct IconSet {
  std::string fileName;    // the ICO file the set was read from; empty for a module's group
  std::string modulePath;  // the module the set was read from; empty for an ICO file
  std::vector<IconFrame> frames;  // in the order of the source's directory

  std::uint32_t imageCount() const { return static_cast<std::uint32_t>(frames.size()); }
};

// Fills header, width, height, bitsPerPixel, colorBits and maskBits from
// imageData. False only when there is no frame; the bytes are not checked.
bool BindFrame(IconFrame* frame);

std::uint16_t DibPaletteEntries(const DibHeader& header);
std::uint16_t DibPaletteBytes(const DibHeader& header);
// Offset of the colour bitmap from the start of the header.
std::uint64_t DibColorBits(const DibHeader& header);
std::int32_t DibRowStride(const DibHeader& header);

}  // namespace brimlet
