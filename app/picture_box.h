// The picture box 图片框1: shows the program's stored JPEG, shrunk to fit and
// never enlarged, on a COLOR_BTNFACE background.
#pragma once

#include <windows.h>

namespace brimlet::app {

inline constexpr char kPictureBoxClass[] = "BrimletPictureBox";
// The RCDATA resource that holds the picture.
inline constexpr char kPictureResourceName[] = "MAIN_PICTURE";

// Where a picture of pictureWidth x pictureHeight is drawn in a box of
// boxWidth x boxHeight in the fit display mode.
RECT FitPictureRect(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight);

// Registers the picture box's window class once per process.
bool RegisterPictureBoxClass(HINSTANCE instance);

// Draws the box into a DC whose origin is the box's client origin: WM_PAINT
// and WM_PRINTCLIENT both come here.
void PaintPictureBox(HWND box, HDC dc);

}  // namespace brimlet::app
