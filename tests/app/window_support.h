// Small helpers of the window tests.
#pragma once

#include <windows.h>

#include <string>

namespace brimlet::test {

// Handles the messages that are waiting (paints, posted notifications) and
// forgets a quit message, so the next test starts from a clean queue.
void PumpMessages();

// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);

// The window's caption as ANSI bytes.
std::string AnsiText(HWND window);

// COLOR_BTNFACE with every channel lowered by 32 (computed here, not taken
// from the skin).
COLORREF ButtonFaceDarkenedBy32();

}  // namespace brimlet::test
