// Writes an IconSet as an ICO file: a 6-byte header, one 16-byte directory
// entry per image, then the images, front to back without seeking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_sink.h"
#include "icon_set.h"

namespace brimlet {

// Creates path anew and writes the set. True when the whole file was written;
// a failed write leaves the shortened file behind.
bool SaveIcoFile(const IconSet& set, const std::string& path);
// The same into any sink: stops at the first failed write.
bool WriteIcoFile(const IconSet& set, ByteSink& sink);

// The 6-byte header, as three writes of 2 bytes: 0, 1, the low 16 bits of count.
bool WriteIcoHeader(ByteSink& file, std::uint32_t count);

// Offset in the file of image index's first byte.
std::uint32_t IcoImageOffset(const IconSet& set, std::size_t index);

}  // namespace brimlet
