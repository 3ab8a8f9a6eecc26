#include "drop_target.h"

#include <commctrl.h>

#include <new>
#include <vector>

#include "drop_object.h"
#include "handlers.h"

namespace brimlet::app {

namespace {

constexpr UINT_PTR WatchId = 1;

FORMATETC FileListFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// A storage medium handed out by IDataObject::GetData, released with it.
class OwnedMedium {
 public:
  OwnedMedium() = default;
  OwnedMedium(const OwnedMedium&) = delete;
  OwnedMedium& operator=(const OwnedMedium&) = delete;
  ~OwnedMedium() { ReleaseStgMedium(&medium_); }
  STGMEDIUM* put() { return &medium_; }
  const STGMEDIUM& get() const { return medium_; }

 private:
  STGMEDIUM medium_{};
};

constexpr DWORD EffectNone = DROPEFFECT_NONE;
constexpr DWORD EffectCopy = DROPEFFECT_COPY;
constexpr DWORD EffectMove = DROPEFFECT_MOVE;
constexpr DWORD EffectLink = DROPEFFECT_LINK;

bool Allows(DWORD allowedEffects, DWORD effect) { return (allowedEffects & effect) != 0; }

}  // namespace

DWORD DropEffectFor(DWORD keyState, DWORD allowedEffects) {
  const bool control = (keyState & MK_CONTROL) != 0;
  const bool shift = (keyState & MK_SHIFT) != 0;
  DWORD wanted = EffectNone;
  if (control && shift) {
    wanted = EffectNone;
  } else if (control) {
    wanted = EffectCopy;
  } else if (shift) {
    wanted = EffectMove;
  } else {
    for (const DWORD effect : {EffectCopy, EffectMove, EffectLink}) {
      if (Allows(allowedEffects, effect)) return effect;
    }
  }
  return Allows(allowedEffects, wanted) ? wanted : EffectNone;
}

std::string FileListText(HDROP files) {
  const UINT count = DragQueryFileA(files, 0xFFFFFFFF, nullptr, 0);
  std::string text;
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileA(files, i, nullptr, 0);
    std::vector<char> name(static_cast<std::size_t>(length) + 1, '\0');
    const UINT copied = DragQueryFileA(files, i, name.data(), length + 1);
    if (count == 1) return std::string(name.data(), copied);
    text.append(name.data(), copied);
    text += "\r\n";
  }
  return text;
}

bool OffersFileList(IDataObject* data) {
  if (data == nullptr) return false;
  FORMATETC format = FileListFormat();
  return data->QueryGetData(&format) == S_OK;
}

// EDropTarget

ComRef<EDropTarget> EDropTarget::Create(FileDroppedHandler fileDropped) {
  return ComRef<EDropTarget>::Adopt(new EDropTarget(std::move(fileDropped)));
}

HRESULT EDropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG EDropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG EDropTarget::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT EDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  dragTaken_ = OffersFileList(data);
  *effect = dragTaken_ ? DropEffectFor(keyState, *effect) : EffectNone;
  return S_OK;
}

HRESULT EDropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  *effect = dragTaken_ ? DropEffectFor(keyState, *effect) : EffectNone;
  return S_OK;
}

HRESULT EDropTarget::DragLeave() {
  dragTaken_ = false;
  return S_OK;
}

HRESULT EDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  const DWORD allowed = *effect;
  const bool taken = dragTaken_;
  dragTaken_ = false;  // the drop ends the drag
  *effect = EffectNone;
  const DWORD shown = taken ? DropEffectFor(keyState, allowed) : EffectNone;
  if (shown == EffectNone || data == nullptr) return S_OK;
  try {
    std::string text;
    {
      FORMATETC format = FileListFormat();
      OwnedMedium medium;
      if (data->GetData(&format, medium.put()) != S_OK || medium.get().tymed != TYMED_HGLOBAL ||
          medium.get().hGlobal == nullptr) {
        return S_OK;
      }
      text = FileListText(static_cast<HDROP>(medium.get().hGlobal));
    }
    // Only the names are taken, never the files: a move is answered as a
    // copy (or as nothing when the source cannot copy), so that no source
    // deletes its originals after a drop here.
    *effect = shown != EffectMove ? shown : (Allows(allowed, EffectCopy) ? EffectCopy : EffectNone);
    if (fileDropped_) fileDropped_(text);
  } catch (const std::bad_alloc&) {
    *effect = EffectNone;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

// DropObject

DropObject::DropObject(EDropTarget::FileDroppedHandler fileDropped)
    : target_(EDropTarget::Create(std::move(fileDropped))) {}

DropObject::~DropObject() {
  if (window_ != nullptr) {
    RemoveWindowSubclass(window_, WatchWindow, WatchId);
    RevokeDragDrop(window_);
  }
}

bool DropObject::Register(HWND window) {
  if (registered_ || window == nullptr) return false;
  if (RegisterDragDrop(window, target_.get()) != S_OK) return false;
  if (!SetWindowSubclass(window, WatchWindow, WatchId, reinterpret_cast<DWORD_PTR>(this))) {
    // Without the watch the registration could outlive the window.
    RevokeDragDrop(window);
    return false;
  }
  registered_ = true;
  window_ = window;
  return true;
}

void DropObject::Withdraw() {
  if (window_ != nullptr) RevokeDragDrop(window_);
}

LRESULT CALLBACK DropObject::WatchWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) {
  auto* dropObject = reinterpret_cast<DropObject*>(self);
  if (message == WM_DESTROY) {
    dropObject->Withdraw();
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, WatchWindow, id);
    dropObject->window_ = nullptr;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

// The program's drop object.

DropObject& MainDropObject() {
  static DropObject dropObject([](const std::string& droppedText) { OnFileDropped(droppedText); });
  return dropObject;
}

bool RegisterDropWindow(DropObject& dropObject, HWND window) { return dropObject.Register(window); }

}  // namespace brimlet::app
