// A byte sink for testing the writers: it records the size of every write and
// the bytes written, and can be told to fail part way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_sink.h"

namespace brimlet::test {

// Records every write, and fails the one numbered failAt (from 1) and any
// after it, so the tests see where the writer stops. failAt 0 never fails.
class RecordingSink final : public ByteSink {
 public:
  explicit RecordingSink(std::size_t failAt = 0) : failAt_(failAt) {}
  bool Write(ByteSpan bytes) override;

  std::vector<std::size_t> sizes;
  std::vector<std::uint8_t> written;

 private:
  std::size_t failAt_;
};

}  // namespace brimlet::test
