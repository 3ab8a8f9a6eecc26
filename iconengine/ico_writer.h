// Writes an IconSet as an ICO file: a 6-byte header, one 16-byte directory
// entry per image, then the images, front to back without seeking.
//
// Every image is written exactly as the frame holds it, except that the
// size-image field of a bitmap header (bytes 20 to 23) is written as 0. The
// directory is rebuilt from the images themselves: width, height, planes and
// bit count from the bitmap header. Images in PNG form (they begin with the
// PNG signature) are written unchanged and their entries are filled from the
// PNG's header chunk instead; see IcoEntryFor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_sink.h"
#include "icon_set.h"

namespace brimlet {

// Creates path anew and writes the set. True when the whole file was written;
// a failed write leaves the shortened file behind, and a file that cannot be
// created is not written at all.
bool SaveIcoFile(const IconSet& set, const std::string& path);
// The same into any sink: stops at the first failed write.
bool WriteIcoFile(const IconSet& set, ByteSink& sink);

// The 6-byte header, as three writes of 2 bytes: 0, 1, the low 16 bits of count.
bool WriteIcoHeader(ByteSink& file, std::uint32_t count);

// Offset in the file of image index's first byte: 6 + 16 x count + the sizes of
// the images before it (modulo 2^32, as the field holds it). An index past the
// last frame gives the offset just after the last image.
std::uint32_t IcoImageOffset(const IconSet& set, std::size_t index);

// The 16 directory bytes of frame, whose image begins at imageOffset.
std::array<std::uint8_t, 16> IcoEntryFor(const IconFrame& frame, std::uint32_t imageOffset);

}  // namespace brimlet
