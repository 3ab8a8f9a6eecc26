// Move-only owners for the handles the window code makes: GDI objects, DCs,
// hooks, COM pointers and the OLE initialisation of the thread.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace brimlet::app {

// Owns one GDI object (font, brush, pen, bitmap, region) and deletes it.
template <typename Handle>
class UniqueGdiObject {
 public:
  UniqueGdiObject() = default;
  explicit UniqueGdiObject(Handle handle) : handle_(handle) {}
  UniqueGdiObject(UniqueGdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.handle_, nullptr));
    }
    return *this;
  }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  ~UniqueGdiObject() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr) {
      DeleteObject(handle_);
    }
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

// Selects an object into a DC and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_ != nullptr) {
      SelectObject(dc_, previous_);
    }
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A memory DC made by CreateCompatibleDC, deleted at the end.
class MemoryDc {
 public:
  explicit MemoryDc(HDC reference) : dc_(CreateCompatibleDC(reference)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc_ != nullptr) {
      DeleteDC(dc_);
    }
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// BeginPaint in the constructor, EndPaint in the destructor.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &paint_); }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// GetDC / GetWindowDC paired with ReleaseDC.
class WindowDc {
 public:
  enum class Area { client, window };
  WindowDc(HWND window, Area area)
      : window_(window), dc_(area == Area::client ? GetDC(window) : GetWindowDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) {
      ReleaseDC(window_, dc_);
    }
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// SaveDC / RestoreDC around a change of clipping or mapping.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;
  ~SavedDcState() {
    if (saved_ != 0) {
      RestoreDC(dc_, saved_);
    }
  }

 private:
  HDC dc_;
  int saved_;
};

// A windows hook, removed again by the destructor.
class UniqueHook {
 public:
  UniqueHook() = default;
  explicit UniqueHook(HHOOK hook) : hook_(hook) {}
  UniqueHook(UniqueHook&& other) noexcept : hook_(std::exchange(other.hook_, nullptr)) {}
  UniqueHook& operator=(UniqueHook&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.hook_, nullptr));
    }
    return *this;
  }
  UniqueHook(const UniqueHook&) = delete;
  UniqueHook& operator=(const UniqueHook&) = delete;
  ~UniqueHook() { reset(); }
  HHOOK get() const { return hook_; }
  explicit operator bool() const { return hook_ != nullptr; }
  void reset(HHOOK hook = nullptr) {
    if (hook_ != nullptr) {
      UnhookWindowsHookEx(hook_);
    }
    hook_ = hook;
  }

 private:
  HHOOK hook_ = nullptr;
};

// A COM interface pointer that releases its reference.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For functions that hand out a new reference through an out parameter.
  Interface** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (pointer_ != nullptr) {
      std::exchange(pointer_, nullptr)->Release();
    }
  }

 private:
  Interface* pointer_ = nullptr;
};

// A moveable global memory block, freed unless ownership was handed on.
class UniqueGlobal {
 public:
  explicit UniqueGlobal(HGLOBAL memory) : memory_(memory) {}
  UniqueGlobal(const UniqueGlobal&) = delete;
  UniqueGlobal& operator=(const UniqueGlobal&) = delete;
  ~UniqueGlobal() {
    if (memory_ != nullptr) {
      GlobalFree(memory_);
    }
  }
  HGLOBAL get() const { return memory_; }
  HGLOBAL release() { return std::exchange(memory_, nullptr); }

 private:
  HGLOBAL memory_;
};

// OleInitialize for the lifetime of the owner; OleUninitialize when it ends,
// if the initialisation succeeded.
class OleInitialization {
 public:
  OleInitialization() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
  OleInitialization(const OleInitialization&) = delete;
  OleInitialization& operator=(const OleInitialization&) = delete;
  ~OleInitialization() {
    if (initialized_) {
      OleUninitialize();
    }
  }
  bool initialized() const { return initialized_; }

 private:
  bool initialized_;
};

}  // namespace brimlet::app
