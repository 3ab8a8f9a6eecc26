// The system clipboard, for the CF_DIB output. Only Windows has one here; on
// other systems every call fails.
#pragma once

#include <cstdint>

#include "../byte_span.h"

namespace brimlet {

// Empties the clipboard and places a copy of dib under CF_DIB, with the
// 32-bit field at heightOffset replaced by newHeight in the copy. False when
// the clipboard could not be opened or emptied, or the block not handed over.
// An empty dib leaves the clipboard emptied and gives false.
bool PlaceDibOnClipboard(ByteSpan dib, std::uint32_t heightOffset, std::int32_t newHeight);

}  // namespace brimlet
