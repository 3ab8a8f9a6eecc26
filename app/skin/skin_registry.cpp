#include "skin/skin_registry.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "skin/skin.h"
#include "skin/skin_colors.h"
#include "skin/skin_kinds.h"
#include "skin/skin_paint.h"
#include "win32_handles.h"

namespace brimlet::app {
namespace skin {
namespace {

struct SkinRecord {
  WNDPROC ownProc = nullptr;  // the procedure the window had before
  SkinKind kind = SkinKind::none;
  bool hot = false;
  bool borderInClient = false;
  // Another procedure was put above ours, so ours could not be taken out:
  // it only passes messages on until the window is destroyed.
  bool detached = false;
};

struct SkinRegistry {
  int scheme = 0;
  UniqueHook hook;
  std::unordered_map<HWND, std::unique_ptr<SkinRecord>> records;
};

SkinRegistry& Registry() {
  static SkinRegistry registry;
  return registry;
}

SkinRecord* RecordOf(HWND window) {
  auto& records = Registry().records;
  const auto found = records.find(window);
  return found != records.end() ? found->second.get() : nullptr;
}

LRESULT CALLBACK SkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool ProcedureIsOurs(HWND window) {
  return GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SkinWindowProc);
}

void RedrawWithFrame(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
}

// create: the window's creation data when it is restyled at WM_CREATE.
void Restyle(HWND window, const CREATESTRUCTW* create) {
  if (window == nullptr || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
    return;
  }
  if (SkinRecord* existing = RecordOf(window)) {
    if (existing->detached && ProcedureIsOurs(window)) {
      existing->detached = false;
    }
    return;  // restyled at most once
  }
  const SkinKind kind = ClassifyWindow(window);
  if (kind == SkinKind::none) {
    return;
  }
  auto record = std::make_unique<SkinRecord>();
  record->kind = kind;
  if (create != nullptr) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    record->borderInClient = (create->style & WS_BORDER) != 0 && (style & WS_BORDER) == 0;
  }
  SkinRecord& stored = *record;
  Registry().records.emplace(window, std::move(record));
  SetLastError(0);
  const LONG_PTR previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinWindowProc));
  if (previous == 0 && GetLastError() != 0) {
    Registry().records.erase(window);
    return;
  }
  stored.ownProc = reinterpret_cast<WNDPROC>(previous);
  RedrawWithFrame(window);
}

// Gives the window its own procedure back and drops its record; a window
// whose procedure has since been replaced by another keeps a passing record.
void Restore(HWND window) {
  SkinRecord* record = RecordOf(window);
  if (record == nullptr) {
    return;
  }
  if (ProcedureIsOurs(window)) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record->ownProc));
    Registry().records.erase(window);
    RedrawWithFrame(window);
  } else {
    record->detached = true;
  }
}

BOOL CALLBACK RestyleChild(HWND window, LPARAM /*unused*/) {
  Restyle(window, nullptr);
  return TRUE;
}

BOOL CALLBACK RestyleTopLevel(HWND window, LPARAM /*unused*/) {
  Restyle(window, nullptr);
  EnumChildWindows(window, RestyleChild, 0);  // all descendants
  return TRUE;
}

LRESULT CALLBACK SkinHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call != nullptr && call->message == WM_CREATE && Registry().scheme != 0) {
      Restyle(call->hwnd, reinterpret_cast<const CREATESTRUCTW*>(call->lParam));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void SwitchOff() {
  SkinRegistry& registry = Registry();
  registry.hook.reset();
  registry.scheme = 0;
  std::vector<HWND> windows;
  windows.reserve(registry.records.size());
  for (const auto& entry : registry.records) {
    windows.push_back(entry.first);
  }
  for (HWND window : windows) {
    Restore(window);
  }
}

void Paint(HWND window, HDC dc, const SkinRecord& record) {
  const SchemeColors* colors = SchemeColorsOf(Registry().scheme);
  if (colors != nullptr) {
    PaintSkinned(PaintRequest{window, dc, record.kind, *colors, record.hot, record.borderInClient});
  }
}

void PaintFrameNow(HWND window) {
  const SkinRecord* record = RecordOf(window);
  if (record == nullptr || IsWindowVisible(window) == FALSE) {
    return;
  }
  WindowDc dc(window, WindowDc::Area::window);
  Paint(window, dc.get(), *record);
}

void RedrawNow(HWND window) {
  if (IsWindow(window) != FALSE && IsWindowVisible(window) != FALSE) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  }
}

bool HasNonClientArea(HWND window) {
  RECT windowRect{};
  GetWindowRect(window, &windowRect);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  RECT client{};
  GetClientRect(window, &client);
  return origin.x != windowRect.left || origin.y != windowRect.top ||
         client.right != windowRect.right - windowRect.left || client.bottom != windowRect.bottom - windowRect.top;
}

// Messages after which a control's own procedure has drawn its state.
bool ChangesLook(UINT message) {
  switch (message) {
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case BM_CLICK:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_SIZE:
    case WM_UPDATEUISTATE:
    case WM_CAPTURECHANGED:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      return true;
    default:
      return false;
  }
}

void TrackHot(HWND window, SkinRecord& record, UINT message) {
  if (message == WM_MOUSEMOVE && !record.hot) {
    record.hot = true;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
  } else if (message == WM_MOUSELEAVE && record.hot) {
    record.hot = false;
  } else {
    return;
  }
  if (SkinDrawsClient(record.kind)) {
    RedrawNow(window);
  } else {
    PaintFrameNow(window);
  }
}

// Buttons, check boxes, radio buttons and group boxes: the skin draws the
// whole client area.
LRESULT HandleDrawnControl(HWND window, UINT message, WPARAM wParam, LPARAM lParam, SkinRecord& record) {
  switch (message) {
    case WM_PAINT: {
      PaintDc paint(window);
      Paint(window, paint.get(), record);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(window, reinterpret_cast<HDC>(wParam), record);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  const WNDPROC ownProc = record.ownProc;
  const LRESULT result = CallWindowProcW(ownProc, window, message, wParam, lParam);
  if (SkinRecord* after = RecordOf(window)) {
    if (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE) {
      TrackHot(window, *after, message);
    } else if (ChangesLook(message)) {
      RedrawNow(window);
    }
  }
  return result;
}

// Edit fields, combo boxes, their lists and up-downs: the control draws
// itself, then the skin draws the frame over it.
LRESULT HandleFramedControl(HWND window, UINT message, WPARAM wParam, LPARAM lParam, SkinRecord& record) {
  const WNDPROC ownProc = record.ownProc;
  LRESULT result = 0;
  if (message == WM_PRINT || message == WM_PRINTCLIENT) {
    // The frame is drawn into the DC as the caller handed it over.
    const SavedDcState callersState(reinterpret_cast<HDC>(wParam));
    result = CallWindowProcW(ownProc, window, message, wParam, lParam);
  } else {
    result = CallWindowProcW(ownProc, window, message, wParam, lParam);
  }
  SkinRecord* after = RecordOf(window);
  if (after == nullptr) {
    return result;
  }
  switch (message) {
    case WM_NCPAINT:
      PaintFrameNow(window);
      break;
    case WM_PAINT:
      if (!HasNonClientArea(window)) {
        PaintFrameNow(window);
      }
      break;
    case WM_PRINT:
      if ((lParam & PRF_NONCLIENT) != 0 || (!HasNonClientArea(window) && (lParam & PRF_CLIENT) != 0)) {
        Paint(window, reinterpret_cast<HDC>(wParam), *after);
      }
      break;
    case WM_PRINTCLIENT:
      if (!HasNonClientArea(window)) {
        Paint(window, reinterpret_cast<HDC>(wParam), *after);
      }
      break;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
      TrackHot(window, *after, message);
      break;
    default:
      if (ChangesLook(message) || message == CB_SHOWDROPDOWN) {
        PaintFrameNow(window);
      }
      break;
  }
  return result;
}

LRESULT CALLBACK SkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SkinRecord* record = RecordOf(window);
  if (record == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  const WNDPROC ownProc = record->ownProc;
  if (message == WM_DESTROY) {
    // The window gets its own procedure back and the record is dropped.
    if (ProcedureIsOurs(window)) {
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ownProc));
      Registry().records.erase(window);
    } else {
      record->detached = true;
    }
    return CallWindowProcW(ownProc, window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    Registry().records.erase(window);
    return CallWindowProcW(ownProc, window, message, wParam, lParam);
  }
  if (record->detached || Registry().scheme == 0) {
    return CallWindowProcW(ownProc, window, message, wParam, lParam);
  }
  return SkinDrawsClient(record->kind) ? HandleDrawnControl(window, message, wParam, lParam, *record)
                                       : HandleFramedControl(window, message, wParam, lParam, *record);
}

}  // namespace

bool IsRestyled(HWND window) {
  const SkinRecord* record = RecordOf(window);
  return record != nullptr && !record->detached && ProcedureIsOurs(window);
}

std::size_t RestyledWindowCount() { return Registry().records.size(); }

int ActiveScheme() { return Registry().scheme; }

}  // namespace skin

int SetSkinScheme(int scheme) {
  skin::SwitchOff();
  if (skin::SchemeColorsOf(scheme) == nullptr) {
    return 0;
  }
  const DWORD thread = GetCurrentThreadId();
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, skin::SkinHookProc, nullptr, thread);
  if (hook == nullptr) {
    return 0;
  }
  skin::SkinRegistry& registry = skin::Registry();
  registry.hook.reset(hook);
  registry.scheme = scheme;
  EnumThreadWindows(thread, skin::RestyleTopLevel, 0);
  return 1;
}

void EndSkin() { skin::SwitchOff(); }

}  // namespace brimlet::app
