// MainWindow: the program's one top-level window with its five controls,
// their look, the event table and the Created handler.
#pragma once

#include <windows.h>

namespace brimlet::app {

inline constexpr char kMainWindowClass[] = "BrimletMainWindow";
inline constexpr char kMainWindowCaption[] = "Brimlet";
inline constexpr int kMainWindowWidth = 716;
inline constexpr int kMainWindowHeight = 282;
inline constexpr DWORD kMainWindowStyle =
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr char kIconResourceName[] = "DEFAULT_ICON";

// The controls' identifiers, in stacking order from top to bottom.
enum ControlId : int {
  kPictureBoxId = 1001,   // 图片框1
  kStatusLabelId = 1002,  // 标签1
  kDropObjectId = 1003,   // 拖放对象1
  kDeleteButtonId = 1004, // 按钮2
  kExtractButtonId = 1005 // 按钮1
};

// The welcome text of the label, and the buttons' captions (GBK).
extern const char kWelcomeText[];
extern const char kExtractCaption[];
extern const char kDeleteCaption[];

// The top-left corner that centres the window on a screen of the given size.
POINT CenteredWindowOrigin(int screenWidth, int screenHeight);

// Creates MainWindow hidden with its controls, raises Created (runs
// OnWindowCreated) and then shows the window. Null when it could not be made.
HWND CreateMainWindow(HINSTANCE instance);

// The handle of MainWindow while it exists.
HWND MainWindowHandle();

// Handler of MainWindow's Created event: switches the skin on and registers
// the window with the drop object.
void OnWindowCreated();

}  // namespace brimlet::app
