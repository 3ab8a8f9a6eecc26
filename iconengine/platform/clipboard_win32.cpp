#include <windows.h>

#include <cstring>
#include <utility>

#include "clipboard.h"

namespace brimlet {

namespace {

// Closes the clipboard that this thread opened.
class OpenClipboardOwner {
 public:
  OpenClipboardOwner() : open_(OpenClipboard(nullptr) != FALSE) {}
  OpenClipboardOwner(const OpenClipboardOwner&) = delete;
  OpenClipboardOwner& operator=(const OpenClipboardOwner&) = delete;
  ~OpenClipboardOwner() {
    if (open_) CloseClipboard();
  }
  bool isOpen() const { return open_; }

 private:
  bool open_;
};

// Frees a global memory block unless it was handed over.
class GlobalBlock {
 public:
  explicit GlobalBlock(HGLOBAL block) : block_(block) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() {
    if (block_ != nullptr) GlobalFree(block_);
  }
  HGLOBAL get() const { return block_; }
  void release() { block_ = nullptr; }

 private:
  HGLOBAL block_;
};

// Keeps a global memory block locked for the length of a scope.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL block) : block_(block), data_(GlobalLock(block)) {}
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  ~GlobalLockScope() {
    if (data_ != nullptr) GlobalUnlock(block_);
  }
  void* data() const { return data_; }

 private:
  HGLOBAL block_;
  void* data_;
};

}  // namespace

bool PlaceDibOnClipboard(ByteSpan dib, std::uint32_t heightOffset, std::int32_t newHeight) {
  const OpenClipboardOwner clipboard;
  if (!clipboard.isOpen()) return false;
  if (!EmptyClipboard()) return false;
  if (!dib.contains(heightOffset, 4)) return false;

  GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, dib.size()));
  if (block.get() == nullptr) return false;
  {
    const GlobalLockScope lock(block.get());
    if (lock.data() == nullptr) return false;
    auto* bytes = static_cast<std::uint8_t*>(lock.data());
    std::memcpy(bytes, dib.data(), dib.size());
    const auto height = static_cast<std::uint32_t>(newHeight);
    for (std::uint32_t i = 0; i < 4; ++i) bytes[heightOffset + i] = static_cast<std::uint8_t>(height >> (8 * i));
  }
  // Once the clipboard has taken the block, it is the clipboard's to free.
  if (SetClipboardData(CF_DIB, block.get()) == nullptr) return false;
  block.release();
  return true;
}

}  // namespace brimlet
