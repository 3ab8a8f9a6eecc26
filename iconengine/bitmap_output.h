// The first image of a set as a BMP file or on the clipboard (CF_DIB). Both
// give the picture with biHeight halved (the image's header counts the colour
// and the mask rows together) and leave the frame as it was.
//
// Neither reads past the image: the BMP writer refuses a frame whose header
// asks for more bytes (40 + colour table + stride x height) than the image
// holds, or gives a negative height or stride; the clipboard output refuses an
// image too short to hold biHeight. An image in PNG form has no bitmap to give
// and is refused by both before anything is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "byte_sink.h"
#include "icon_set.h"

namespace brimlet {

// Where the parts of a BMP file lie, from a frame's header.
struct BitmapLayout {
  std::uint32_t paletteBytes = 0;  // DibPaletteBytes
  std::int32_t stride = 0;         // DibRowStride
  std::int32_t height = 0;         // biHeight / 2, truncated toward zero
  std::uint32_t bitsOffset = 0;    // 54 + paletteBytes
  std::uint32_t fileSize = 0;      // 54 + paletteBytes + stride x height
  std::uint32_t imageBytes = 0;    // what is copied from the image: 40 + paletteBytes + stride x height
};

// The layout, or nullopt when the frame cannot be written as a BMP without
// reading past its image (or is in PNG form).
std::optional<BitmapLayout> BitmapLayoutOf(const IconFrame& frame);

// 1 when the whole BMP file was written to path, 0 otherwise. A frame that is
// refused creates no file; a failed write leaves the shortened file behind.
std::int32_t SaveFrameAsBitmap(const std::string& path, const IconFrame& frame);
// The same into any sink: the 14-byte file header in one write, then the image
// header, colour table and colour bits in another. False when the frame is
// refused or a write fails.
bool WriteFrameAsBitmap(const IconFrame& frame, ByteSink& sink);

// 1 once the block is on the clipboard, 0 otherwise. A PNG frame leaves the
// clipboard untouched; an image shorter than 12 bytes (0 included) leaves it
// emptied.
std::int32_t CopyFrameToClipboard(const IconFrame& frame);

}  // namespace brimlet
