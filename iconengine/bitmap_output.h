// The first image of a set as a BMP file or on the clipboard (CF_DIB).
#pragma once

#include <cstdint>
#include <string>

#include "byte_sink.h"
#include "icon_set.h"

namespace brimlet {

// 1 when the whole BMP file was written to path, 0 otherwise.
std::int32_t SaveFrameAsBitmap(const std::string& path, const IconFrame& frame);
// The same into any sink; false when nothing or not all was written.
bool WriteFrameAsBitmap(const IconFrame& frame, ByteSink& sink);

// 1 once the block is on the clipboard, 0 otherwise.
std::int32_t CopyFrameToClipboard(const IconFrame& frame);

}  // namespace brimlet
