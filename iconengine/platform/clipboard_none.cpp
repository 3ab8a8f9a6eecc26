#include "clipboard.h"

namespace brimlet {

bool PlaceDibOnClipboard(ByteSpan, std::uint32_t, std::int32_t) { return false; }

}  // namespace brimlet
