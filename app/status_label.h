// The label 标签1: a window that keeps its caption like any window
// (WM_SETTEXT / WM_GETTEXT) and draws it itself, in blue, in a bold italic
// brush-script face, on one line.
#pragma once

#include <windows.h>

namespace brimlet::app {

inline constexpr char kStatusLabelClass[] = "BrimletStatusLabel";
inline constexpr COLORREF kLabelTextColor = RGB(0, 0, 255);

// Registers the label's window class once per process; true when it exists.
bool RegisterStatusLabelClass(HINSTANCE instance);

// The label's font as given to CreateFontIndirectA.
LOGFONTA StatusLabelLogFont();

// Draws the label into a DC whose origin is the label's client origin:
// WM_PAINT and WM_PRINTCLIENT both come here.
void PaintStatusLabel(HWND label, HDC dc);

}  // namespace brimlet::app
