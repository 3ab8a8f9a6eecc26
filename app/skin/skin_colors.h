// The colours of the skin's three schemes.
#pragma once

#include <windows.h>

namespace brimlet::app::skin {

struct GradientPair {
  COLORREF top;
  COLORREF bottom;
};

struct SchemeColors {
  COLORREF frame;         // outer frame of edit fields, combo boxes, lists, up-downs
  COLORREF buttonBorder;  // border of push buttons
  GradientPair face;      // push button faces by state
  GradientPair pushedFace;
  GradientPair disabledFace;
  GradientPair hotRing;    // inner ring of a button under the mouse
  GradientPair focusRing;  // inner ring of a focused or default button
  COLORREF boxBorder;      // check box and radio button
  GradientPair boxFace;
  GradientPair hotBoxFace;
  COLORREF mark;  // check mark and radio dot
  COLORREF groupFrame;
  COLORREF groupText;
  COLORREF dropArrow;  // arrow of the combo box button
};

// The colours of scheme 1, 2 or 3; null for any other value.
const SchemeColors* SchemeColorsOf(int scheme);

// A colour with each of red, green and blue lowered by amount (not below 0).
COLORREF Darken(COLORREF color, int amount);

// The frame or border of a disabled control: the button face darkened by 32.
COLORREF DisabledFrameColor();

}  // namespace brimlet::app::skin
