#include "support/recording_sink.h"

namespace brimlet::test {

bool RecordingSink::Write(ByteSpan bytes) {
  sizes.push_back(bytes.size());
  if (failAt_ != 0 && sizes.size() >= failAt_) return false;
  written.insert(written.end(), bytes.data(), bytes.data() + bytes.size());
  return true;
}

}  // namespace brimlet::test
