#include "main_window.h"

#include <ole2.h>

#include <array>
#include <iterator>

#include "app_state.h"
#include "drop_target.h"
#include "handlers.h"
#include "picture_box.h"
#include "skin/skin.h"
#include "status_label.h"

namespace brimlet::app {

// 欢迎使用由Orvelle出品的Brimlet， CR LF CR LF 请将后缀名为EXE的可执行文件拖动至窗口中。
const char kWelcomeText[] =
    "\xbb\xb6\xd3\xad\xca\xb9\xd3\xc3\xd3\xc9" "Orvelle" "\xb3\xf6\xc6\xb7\xb5\xc4" "Brimlet" "\xa3\xac"
    "\r\n\r\n"
    "\xc7\xeb\xbd\xab\xba\xf3\xd7\xba\xc3\xfb\xce\xaa" "EXE" "\xb5\xc4\xbf\xc9\xd6\xb4\xd0\xd0\xce\xc4\xbc\xfe"
    "\xcd\xcf\xb6\xaf\xd6\xc1\xb4\xb0\xbf\xda\xd6\xd0\xa1\xa3";
const char kExtractCaption[] = "\xcc\xe1\xc8\xa1";  // 提取
const char kDeleteCaption[] = "\xc9\xbe\xb3\xfd";   // 删除

namespace {

constexpr DWORD kControlStyle = WS_CHILD | WS_CLIPSIBLINGS;
constexpr DWORD kButtonStyle = kControlStyle | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;

struct ControlLayout {
  ControlId id;
  const char* windowClass;
  const char* text;
  DWORD style;
  int left;
  int top;
  int width;
  int height;
  bool shown;
};

// The controls in stacking order, top to bottom.
const std::array<ControlLayout, 5> kControls = {{
    {kPictureBoxId, kPictureBoxClass, "", kControlStyle, 80, 112, 176, 168, true},
    {kStatusLabelId, kStatusLabelClass, kWelcomeText, kControlStyle, 0, 64, 744, 56, true},
    // The drop object has a window of its own that is never shown.
    {kDropObjectId, "STATIC", "", kControlStyle, 24, 168, 40, 40, false},
    {kDeleteButtonId, "BUTTON", kDeleteCaption, kButtonStyle, 464, 160, 96, 40, true},
    {kExtractButtonId, "BUTTON", kExtractCaption, kButtonStyle, 288, 160, 96, 40, true},
}};

// The event table of the controls' notifications. MainWindow's Created event
// is raised by CreateMainWindow (OnWindowCreated), and the drop object raises
// FileDropped itself (OnFileDropped).
struct CommandBinding {
  int controlId;
  WORD notification;
  void (*handler)();
};
constexpr std::array<CommandBinding, 2> kCommandBindings = {{
    {kExtractButtonId, BN_CLICKED, OnExtractClicked},
    {kDeleteButtonId, BN_CLICKED, OnDeleteClicked},
}};

HWND mainWindow = nullptr;
// Top-level windows of the program that exist; the quit message is posted
// when the last one is destroyed.
int liveWindows = 0;

void OnCommand(WPARAM wParam) {
  const int controlId = LOWORD(wParam);
  const WORD notification = HIWORD(wParam);
  for (const CommandBinding& binding : kCommandBindings) {
    if (binding.controlId == controlId && binding.notification == notification) {
      binding.handler();
      return;
    }
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      ++liveWindows;
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(GetStockObject(DEFAULT_GUI_FONT)));
      break;
    case WM_SETFONT:
      SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrA(window, GWLP_USERDATA);
    case WM_COMMAND:
      OnCommand(wParam);
      return 0;
    case WM_DESTROY:
      // The drop registration goes with the window.
      RevokeDragDrop(window);
      if (StatusLabel() != nullptr && GetParent(StatusLabel()) == window) {
        SetStatusLabel(nullptr);
      }
      if (mainWindow == window) {
        mainWindow = nullptr;
      }
      return 0;
    case WM_NCDESTROY:
      if (--liveWindows == 0) {
        PostQuitMessage(0);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HICON LoadProgramIcon(HINSTANCE instance, int size) {
  return static_cast<HICON>(LoadImageA(instance, kIconResourceName, IMAGE_ICON, size, size, LR_SHARED));
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  if (GetClassInfoExA(instance, kMainWindowClass, &windowClass) != FALSE) {
    return true;
  }
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadProgramIcon(instance, 0);
  windowClass.hIconSm = LoadProgramIcon(instance, 0);
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kMainWindowClass;
  return RegisterClassExA(&windowClass) != 0;
}

// Creates the controls hidden, stacks them in table order and shows those
// marked shown without activating them. False when one could not be made.
bool CreateControls(HWND window, HINSTANCE instance) {
  std::array<HWND, kControls.size()> made{};
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlLayout& layout = kControls[i];
    made[i] = CreateWindowExA(0, layout.windowClass, layout.text, layout.style, layout.left, layout.top,
                              layout.width, layout.height, window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance, nullptr);
    if (made[i] == nullptr) {
      return false;
    }
    if (layout.id != kStatusLabelId) {
      SendMessageA(made[i], WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
  }
  constexpr UINT kKeepPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(made[0], HWND_TOP, 0, 0, 0, 0, kKeepPlace);
  for (std::size_t i = 1; i < made.size(); ++i) {
    SetWindowPos(made[i], made[i - 1], 0, 0, 0, 0, kKeepPlace);
  }
  for (std::size_t i = 0; i < made.size(); ++i) {
    if (kControls[i].shown) {
      ShowWindow(made[i], SW_SHOWNA);
    }
  }
  SetStatusLabel(made[1]);
  return true;
}

}  // namespace

POINT CenteredWindowOrigin(int screenWidth, int screenHeight) {
  return POINT{(screenWidth - kMainWindowWidth) / 2, (screenHeight - kMainWindowHeight) / 2};
}

HWND MainWindowHandle() { return mainWindow; }

HWND CreateMainWindow(HINSTANCE instance) {
  if (!RegisterMainWindowClass(instance) || !RegisterStatusLabelClass(instance) ||
      !RegisterPictureBoxClass(instance)) {
    return nullptr;
  }
  const POINT origin = CenteredWindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, kMainWindowStyle, origin.x, origin.y,
                                kMainWindowWidth, kMainWindowHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    return nullptr;
  }
  RECT outer{};
  GetWindowRect(window, &outer);
  if (outer.right - outer.left != kMainWindowWidth || outer.bottom - outer.top != kMainWindowHeight) {
    SetWindowPos(window, nullptr, outer.left, outer.top, kMainWindowWidth, kMainWindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadProgramIcon(instance, 0)));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadProgramIcon(instance, 0)));
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  if (!CreateControls(window, instance)) {
    DestroyWindow(window);
    return nullptr;
  }
  mainWindow = window;

  OnWindowCreated();  // Created, while the window is still hidden

  if (IsWindow(window) == FALSE) {
    return nullptr;
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return window;
}

void OnWindowCreated() {
  SetSkinScheme(2);
  HWND window = MainWindowHandle();
  RegisterDropWindow(MainDropObject(), window);
}

}  // namespace brimlet::app
