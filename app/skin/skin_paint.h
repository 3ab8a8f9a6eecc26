// Drawing of the restyled controls, one paint function per kind of control.
#pragma once

#include <windows.h>

#include "skin/skin_colors.h"
#include "skin/skin_kinds.h"

namespace brimlet::app::skin {

struct PaintRequest {
  HWND window;
  // For the kinds that the skin draws whole (SkinDrawsClient): a DC with its
  // origin at the client area's top-left corner. For the framed kinds: a DC
  // with its origin at the window's top-left corner.
  HDC dc;
  SkinKind kind;
  const SchemeColors& colors;
  bool hot;  // the mouse is over the control
};

// Draws the control by its kind's paint function: the whole client area of
// buttons, check boxes, radio buttons and group boxes; the outer frame (and
// the drop button of combo boxes) of the framed kinds.
void PaintSkinned(const PaintRequest& request);

}  // namespace brimlet::app::skin
