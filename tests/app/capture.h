// Pictures of what windows draw, for the window tests: printed into a DIB
// (WM_PRINTCLIENT / WM_PRINT) or copied from the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brimlet::test {

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // top-down rows, 0x00RRGGBB

  COLORREF At(int x, int y) const;
  bool RowIs(int y, COLORREF color) const;
  bool RowHasOtherThan(int y, COLORREF color) const;
};

// The client area as the window draws it for WM_PRINTCLIENT.
Capture PrintClientArea(HWND window);
// The whole window (frame and client) as it draws itself for WM_PRINT.
Capture PrintWholeWindow(HWND window);
// The pixels on the screen under a rectangle in screen coordinates.
Capture CaptureScreen(const RECT& area);
// Writes a 24-bit BMP file; true on success.
bool WriteBmp(const Capture& capture, const std::string& path);

}  // namespace brimlet::test
