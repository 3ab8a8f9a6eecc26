// A non-owning, bounds-checked view of bytes. Every read of untrusted file data
// goes through it: a read or a sub-view that does not fit gives std::nullopt,
// and no pointer is formed before the check has passed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace brimlet {

class ByteSpan {
 public:
  constexpr ByteSpan() = default;
  constexpr ByteSpan(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit ByteSpan(const std::vector<std::uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}

  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  // For handing the whole view to a copy or a write; never for arithmetic.
  constexpr const std::uint8_t* data() const { return data_; }

  // True when [offset, offset + length) lies inside the view. Written as a
  // subtraction so that it cannot wrap.
  constexpr bool contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  std::optional<ByteSpan> sub(std::uint64_t offset, std::uint64_t length) const {
    if (!contains(offset, length)) return std::nullopt;
    return ByteSpan(data_ + static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
  }
  // The bytes from offset to the end.
  std::optional<ByteSpan> from(std::uint64_t offset) const {
    if (offset > size_) return std::nullopt;
    return sub(offset, size_ - offset);
  }

  std::optional<std::uint8_t> u8(std::uint64_t offset) const { return read<std::uint8_t>(offset); }
  std::optional<std::uint16_t> u16(std::uint64_t offset) const { return read<std::uint16_t>(offset); }
  std::optional<std::uint32_t> u32(std::uint64_t offset) const { return read<std::uint32_t>(offset); }
  std::optional<std::uint64_t> u64(std::uint64_t offset) const { return read<std::uint64_t>(offset); }
  std::optional<std::int32_t> i32(std::uint64_t offset) const {
    auto value = u32(offset);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
  }

  // True when the view begins with the given bytes.
  bool startsWith(ByteSpan prefix) const {
    return prefix.size_ <= size_ && (prefix.size_ == 0 || std::memcmp(data_, prefix.data_, prefix.size_) == 0);
  }

  std::vector<std::uint8_t> copy() const { return std::vector<std::uint8_t>(data_, data_ + size_); }

 private:
  // Little-endian decode from bytes, whatever the host's byte order.
  template <typename T>
  std::optional<T> read(std::uint64_t offset) const {
    if (!contains(offset, sizeof(T))) return std::nullopt;
    const std::uint8_t* p = data_ + static_cast<std::size_t>(offset);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return static_cast<T>(value);
  }

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace brimlet
