#include "file_view.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <new>

namespace brimlet {

const FileReader::Block* FileReader::BlockAt(std::uint64_t index) const {
  const auto found = blocks_.find(index);
  if (found != blocks_.end()) {
    last_ = found->second.get();
    lastIndex_ = index;
    return last_;
  }
  const std::uint64_t start = index * kBlockSize;
  if (start >= size()) return nullptr;
  auto block = std::make_unique<Block>();
  const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size() - start));
  if (!file_.ReadAt(start, block->data(), length)) return nullptr;
  last_ = blocks_.emplace(index, std::move(block)).first->second.get();
  lastIndex_ = index;
  return last_;
}

bool FileReader::ReadBlocks(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
  if (offset > size() || length > size() - offset) return false;
  try {
    std::size_t done = 0;
    while (done < length) {
      const std::uint64_t at = offset + done;
      const Block* block = BlockAt(at / kBlockSize);
      if (block == nullptr) return false;
      const auto into = static_cast<std::size_t>(at % kBlockSize);
      const std::size_t count = std::min(length - done, kBlockSize - into);
      std::copy_n(block->begin() + static_cast<std::ptrdiff_t>(into), count, out + done);
      done += count;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::optional<ByteSpan> FileReader::Hold(std::uint64_t offset, std::uint64_t length) const {
  if (offset > size() || length > size() - offset) return std::nullopt;
  if (length == 0) return ByteSpan();
  if (length > SIZE_MAX) return std::nullopt;
  try {
    std::vector<std::uint8_t> copy(static_cast<std::size_t>(length));
    if (!file_.ReadAt(offset, copy.data(), copy.size())) return std::nullopt;
    held_.push_back(std::move(copy));
    return ByteSpan(held_.back());
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

std::optional<FileView> FileView::sub(std::uint64_t offset, std::uint64_t length) const {
  if (!contains(offset, length)) return std::nullopt;
  FileView view = *this;
  if (reader_ == nullptr) {
    const auto part = memory_.sub(offset, length);
    if (!part) return std::nullopt;
    view.memory_ = *part;
  } else {
    view.base_ = base_ + offset;
  }
  view.size_ = length;
  return view;
}

std::optional<std::vector<std::uint8_t>> FileView::copy() const {
  if (size_ > SIZE_MAX) return std::nullopt;
  try {
    if (reader_ == nullptr) return memory_.copy();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size_));
    if (!reader_->ReadUncached(base_, out.data(), out.size())) return std::nullopt;
    return out;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

std::optional<ByteSpan> FileView::bytes() const {
  if (reader_ == nullptr) return memory_;
  return reader_->Hold(base_, size_);
}

}  // namespace brimlet
