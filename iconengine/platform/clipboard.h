// The system clipboard, for the CF_DIB output. Only Windows has one here; on
// other systems every call fails.
#pragma once

#include <cstdint>

#include "../byte_span.h"

namespace brimlet {

// Opens the clipboard with no owner window, empties it and places a copy of
// dib under CF_DIB, with the 32-bit field at heightOffset replaced by newHeight
// in the copy. False when the clipboard could not be opened (it is then left
// as it was) or emptied, when dib is too short to hold that field (the
// clipboard is then left empty), or when the block could not be allocated or
// handed over. The clipboard is closed again on every path once it was opened.
bool PlaceDibOnClipboard(ByteSpan dib, std::uint32_t heightOffset, std::int32_t newHeight);

}  // namespace brimlet
