// A bounds-checked view of a file's bytes that reads them only when they are
// looked at. The module reader walks a few hundred bytes of headers and
// resource tables in a file of many megabytes, once per call of the extraction
// command: reading just those bytes with a few positioned reads costs a small
// part of mapping the file and faulting its pages in.
//
// A view has the reading interface of ByteSpan (size, contains, sub, u8 ...
// u32) with the same checks; sub gives a narrower view without reading
// anything. bytes() gives the view's bytes in memory, for handing on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "byte_span.h"
#include "platform/platform_file.h"

namespace brimlet {

// Reads a file in aligned blocks, each read once and kept, and keeps the
// copies that views hand out, until it goes. Not thread-safe.
class FileReader {
 public:
  explicit FileReader(RandomAccessFile file) : file_(std::move(file)) {}
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  std::uint64_t size() const { return file_.size(); }
  // Copies length bytes at offset into out; false when they do not all lie in
  // the file or a read fails.
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    // Most reads are a few bytes inside the block read last.
    if (last_ != nullptr && offset / kBlockSize == lastIndex_ && length <= kBlockSize - offset % kBlockSize &&
        offset <= size() && length <= size() - offset) {
      std::memcpy(out, last_->data() + offset % kBlockSize, length);
      return true;
    }
    return ReadBlocks(offset, out, length);
  }
  // A copy of length bytes at offset, kept as long as the reader.
  std::optional<ByteSpan> Hold(std::uint64_t offset, std::uint64_t length) const;
  // Length bytes at offset read straight into out, past the block cache: for
  // the resources' own bytes, which are read once.
  bool ReadUncached(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    return offset <= size() && length <= size() - offset && file_.ReadAt(offset, out, length);
  }

 private:
  static constexpr std::size_t kBlockSize = 4096;
  using Block = std::array<std::uint8_t, kBlockSize>;
  const Block* BlockAt(std::uint64_t index) const;
  bool ReadBlocks(std::uint64_t offset, std::uint8_t* out, std::size_t length) const;

  RandomAccessFile file_;
  mutable std::map<std::uint64_t, std::unique_ptr<Block>> blocks_;
  mutable std::vector<std::vector<std::uint8_t>> held_;
  mutable const Block* last_ = nullptr;  // the block read last, and its index
  mutable std::uint64_t lastIndex_ = 0;
};

class FileView {
 public:
  FileView() = default;
  // Bytes already in memory; they must outlive the view.
  explicit FileView(ByteSpan memory) : memory_(memory), size_(memory.size()) {}
  // A whole file through its reader, which must outlive the view.
  explicit FileView(const FileReader& reader) : reader_(&reader), size_(reader.size()) {}

  std::uint64_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // True when [offset, offset + length) lies inside the view; cannot wrap.
  bool contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  std::optional<FileView> sub(std::uint64_t offset, std::uint64_t length) const;
  std::optional<FileView> from(std::uint64_t offset) const {
    if (offset > size_) return std::nullopt;
    return sub(offset, size_ - offset);
  }

  std::optional<std::uint8_t> u8(std::uint64_t offset) const { return read<std::uint8_t>(offset); }
  std::optional<std::uint16_t> u16(std::uint64_t offset) const { return read<std::uint16_t>(offset); }
  std::optional<std::uint32_t> u32(std::uint64_t offset) const { return read<std::uint32_t>(offset); }
  std::optional<std::uint64_t> u64(std::uint64_t offset) const { return read<std::uint64_t>(offset); }

  // Copies length bytes at offset into out, a buffer of the caller's that
  // holds them; false when they do not lie in the view or a read fails.
  bool CopyOut(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    if (!contains(offset, length)) return false;
    if (reader_ != nullptr) return reader_->Read(base_ + offset, out, length);
    const auto part = memory_.sub(offset, length);
    if (!part) return false;
    if (length > 0) std::memcpy(out, part->data(), length);
    return true;
  }

  // The view's bytes in memory: the bytes themselves for a view of memory, a
  // copy kept by the reader for a view of a file. nullopt when a read fails
  // or the copy cannot be made.
  std::optional<ByteSpan> bytes() const;
  // The view's bytes in a new block of the caller's; nullopt when a read fails
  // or the block cannot be allocated.
  std::optional<std::vector<std::uint8_t>> copy() const;

 private:
  template <typename T>
  std::optional<T> read(std::uint64_t offset) const {
    if (!contains(offset, sizeof(T))) return std::nullopt;
    std::array<std::uint8_t, sizeof(T)> raw{};
    if (reader_ == nullptr) {
      const auto part = memory_.sub(offset, sizeof(T));
      if (!part) return std::nullopt;
      std::memcpy(raw.data(), part->data(), sizeof(T));
    } else if (!reader_->Read(base_ + offset, raw.data(), sizeof(T))) {
      return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<std::uint64_t>(raw[i]) << (8 * i);
    return static_cast<T>(value);
  }

  ByteSpan memory_;                     // the view itself, when it is of memory
  const FileReader* reader_ = nullptr;  // else the file's reader,
  std::uint64_t base_ = 0;              // and where in the file the view begins
  std::uint64_t size_ = 0;
};

}  // namespace brimlet
