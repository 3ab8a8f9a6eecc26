// The drop object's inside: the OLE drop target EDropTarget and the object
// that registers it on a window. Private to the application and its tests.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <utility>

namespace brimlet::app {

// The effect shown while a taken drag is over the window, from the keys held
// (MK_CONTROL, MK_SHIFT) and the effects that the source allows: Ctrl copies,
// Shift moves, both together drop nothing; with no key the first allowed of
// copy, move and link. An effect the source does not allow becomes
// DROPEFFECT_NONE.
DWORD DropEffectFor(DWORD keyState, DWORD allowedEffects);

// The text that FileDropped carries for a dropped file list, names read with
// DragQueryFileA in list order: one file gives its path exactly; several give
// every path followed by CR LF.
std::string FileListText(HDROP files);

// True when the data offers a file list (CF_HDROP in global memory).
bool OffersFileList(IDataObject* data);

// An owned reference to a COM object: released when the owner goes.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already holds.
  static ComRef Adopt(T* object) {
    ComRef ref;
    ref.object_ = object;
    return ref;
  }
  ComRef(const ComRef& other) : object_(other.object_) {
    if (object_ != nullptr) object_->AddRef();
  }
  ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComRef() {
    if (object_ != nullptr) object_->Release();
  }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// The OLE drop target of the drop object. It takes drags that offer a file
// list and nothing else (text, HTML and links are refused), shows the effect
// of DropEffectFor while such a drag is over the window, and raises
// FileDropped once for every completed drop whose effect is not none.
// COM objects end through Release, never through a pointer to the interface:
// the interfaces have no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class EDropTarget final : public IDropTarget {
 public:
  using FileDroppedHandler = std::function<void(const std::string& droppedText)>;

  static ComRef<EDropTarget> Create(FileDroppedHandler fileDropped);

  EDropTarget(const EDropTarget&) = delete;
  EDropTarget& operator=(const EDropTarget&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDropTarget
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

  // Whether the drag now over the window was taken.
  bool DragTaken() const { return dragTaken_; }

 private:
  explicit EDropTarget(FileDroppedHandler fileDropped) : fileDropped_(std::move(fileDropped)) {}
  ~EDropTarget() = default;  // only Release ends the object

  LONG references_ = 1;
  bool dragTaken_ = false;
  FileDroppedHandler fileDropped_;
};
#pragma GCC diagnostic pop

// The drop object: one drop target, registered on at most one window.
class DropObject {
 public:
  explicit DropObject(EDropTarget::FileDroppedHandler fileDropped);
  ~DropObject();
  DropObject(const DropObject&) = delete;
  DropObject& operator=(const DropObject&) = delete;

  // See RegisterDropWindow.
  bool Register(HWND window);

  EDropTarget& Target() const { return *target_.get(); }
  // The window whose drop target this object is now; null before the
  // registration and after the window's destruction.
  HWND Window() const { return window_; }

 private:
  static LRESULT CALLBACK WatchWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
  void Withdraw();

  ComRef<EDropTarget> target_;
  HWND window_ = nullptr;
  bool registered_ = false;
};

}  // namespace brimlet::app
