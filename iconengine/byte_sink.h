// Where the writers put their bytes: a file, or memory. Each Write is one
// write of the whole span; it gives false when the span was not written whole.
#pragma once

#include <cstdint>
#include <vector>

#include "byte_span.h"

namespace brimlet {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(ByteSpan bytes) = 0;

 protected:
  ByteSink() = default;
  ByteSink(const ByteSink&) = default;
  ByteSink& operator=(const ByteSink&) = default;
};

// Collects everything written, for tests and fuzzing.
class MemorySink final : public ByteSink {
 public:
  bool Write(ByteSpan bytes) override {
    bytes_.insert(bytes_.end(), bytes.data(), bytes.data() + bytes.size());
    return true;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Little-endian field builders for the fixed-size headers the writers emit.
inline void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace brimlet
