#include "skin/skin_paint.h"

#include <array>
#include <string>

#include "win32_handles.h"

namespace brimlet::app::skin {
namespace {

constexpr int kBoxSize = 13;  // check box square and radio button circle

COLOR16 Channel16(int channel) { return static_cast<COLOR16>(channel << 8); }

TRIVERTEX Vertex(int x, int y, COLORREF color) {
  TRIVERTEX vertex{};
  vertex.x = x;
  vertex.y = y;
  vertex.Red = Channel16(GetRValue(color));
  vertex.Green = Channel16(GetGValue(color));
  vertex.Blue = Channel16(GetBValue(color));
  vertex.Alpha = 0;
  return vertex;
}

void FillGradient(HDC dc, const RECT& rect, const GradientPair& colors) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) {
    return;
  }
  std::array<TRIVERTEX, 2> vertices = {Vertex(rect.left, rect.top, colors.top),
                                       Vertex(rect.right, rect.bottom, colors.bottom)};
  GRADIENT_RECT mesh{0, 1};
  GradientFill(dc, vertices.data(), static_cast<ULONG>(vertices.size()), &mesh, 1, GRADIENT_FILL_RECT_V);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.get());
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF color) {
  UniqueBrush brush(CreateSolidBrush(color));
  FrameRect(dc, &rect, brush.get());
}

RECT Inset(RECT rect, int amount) {
  InflateRect(&rect, -amount, -amount);
  return rect;
}

COLORREF Mix(COLORREF a, COLORREF b) {
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
             (GetBValue(a) + GetBValue(b)) / 2);
}

std::wstring TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) {
    return {};
  }
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0U);
  return text;
}

HFONT FontOf(HWND window) {
  auto* font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)); }

// The background brush the parent gives the control (WM_CTLCOLORBTN or
// WM_CTLCOLORSTATIC), or the button face.
HBRUSH BackgroundBrush(HWND window, HDC dc, UINT message) {
  HWND parent = GetParent(window);
  HBRUSH brush = nullptr;
  if (parent != nullptr) {
    brush = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
  }
  return brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE);
}

COLORREF BrushColor(HBRUSH brush) {
  LOGBRUSH info{};
  if (GetObjectW(brush, sizeof info, &info) == sizeof info && info.lbStyle == BS_SOLID) {
    return info.lbColor;
  }
  return GetSysColor(COLOR_BTNFACE);
}

struct UiCues {
  bool hideFocus;
  bool hidePrefix;
};

UiCues CuesOf(HWND window) {
  const auto state = static_cast<UINT>(SendMessageW(window, WM_QUERYUISTATE, 0, 0));
  return UiCues{(state & UISF_HIDEFOCUS) != 0, (state & UISF_HIDEACCEL) != 0};
}

enum class Horizontal { left, center, right };

// Draws a button's caption in rect by its alignment styles; answers the
// rectangle the text takes (for the focus rectangle).
RECT DrawCaption(HDC dc, HWND window, RECT rect, Horizontal fallback, COLORREF color) {
  const std::wstring text = TextOf(window);
  if (text.empty()) {
    return RECT{};
  }
  const DWORD style = StyleOf(window);
  UINT flags = DT_NOCLIP;
  Horizontal horizontal = fallback;
  switch (style & BS_CENTER) {
    case BS_LEFT: horizontal = Horizontal::left; break;
    case BS_RIGHT: horizontal = Horizontal::right; break;
    case BS_CENTER: horizontal = Horizontal::center; break;
    default: break;
  }
  flags |= horizontal == Horizontal::left ? DT_LEFT : horizontal == Horizontal::right ? DT_RIGHT : DT_CENTER;
  if (CuesOf(window).hidePrefix) {
    flags |= DT_HIDEPREFIX;
  }
  flags |= (style & BS_MULTILINE) != 0 ? DT_WORDBREAK : DT_SINGLELINE;

  SelectedObject font(dc, FontOf(window));
  RECT measured = rect;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, flags | DT_CALCRECT);
  const int height = measured.bottom - measured.top;
  const int width = measured.right - measured.left;
  RECT placed = rect;
  switch (style & BS_VCENTER) {
    case BS_TOP: placed.bottom = placed.top + height; break;
    case BS_BOTTOM: placed.top = placed.bottom - height; break;
    default:
      placed.top = rect.top + (rect.bottom - rect.top - height) / 2;
      placed.bottom = placed.top + height;
      break;
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &placed, flags);

  RECT used = placed;
  if (width < rect.right - rect.left) {
    if (horizontal == Horizontal::center) {
      used.left = rect.left + (rect.right - rect.left - width) / 2;
    } else if (horizontal == Horizontal::right) {
      used.left = rect.right - width;
    }
    used.right = used.left + width;
  }
  return used;
}

// The 2-pixel ring inside a push button's border that marks hot and focus.
void DrawRing(HDC dc, const RECT& face, const GradientPair& ring) {
  FillSolid(dc, RECT{face.left, face.top, face.right, face.top + 1}, ring.top);
  FillSolid(dc, RECT{face.left, face.bottom - 1, face.right, face.bottom}, ring.bottom);
  FillGradient(dc, RECT{face.left, face.top + 1, face.left + 2, face.bottom - 1}, ring);
  FillGradient(dc, RECT{face.right - 2, face.top + 1, face.right, face.bottom - 1}, ring);
  FillSolid(dc, RECT{face.left + 1, face.top + 1, face.right - 1, face.top + 2}, Mix(ring.top, ring.bottom));
}

// A one-pixel border with cut corners, the look of an XP push button.
void DrawRoundedBorder(HDC dc, const RECT& rect, COLORREF border, COLORREF outside) {
  FillSolid(dc, RECT{rect.left + 1, rect.top, rect.right - 1, rect.top + 1}, border);
  FillSolid(dc, RECT{rect.left + 1, rect.bottom - 1, rect.right - 1, rect.bottom}, border);
  FillSolid(dc, RECT{rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1}, border);
  FillSolid(dc, RECT{rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1}, border);
  const COLORREF corner = Mix(border, outside);
  SetPixel(dc, rect.left, rect.top, corner);
  SetPixel(dc, rect.right - 1, rect.top, corner);
  SetPixel(dc, rect.left, rect.bottom - 1, corner);
  SetPixel(dc, rect.right - 1, rect.bottom - 1, corner);
}

bool IsChecked(HWND window) { return SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool IsPushed(HWND window) { return (SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }
bool HasFocus(HWND window) { return GetFocus() == window; }
bool IsDisabled(HWND window) { return IsWindowEnabled(window) == FALSE; }

void PaintPushButton(const PaintRequest& request) {
  HWND window = request.window;
  HDC dc = request.dc;
  const SchemeColors& colors = request.colors;
  RECT client{};
  GetClientRect(window, &client);
  HBRUSH background = BackgroundBrush(window, dc, WM_CTLCOLORBTN);
  FillRect(dc, &client, background);
  if (client.right < 4 || client.bottom < 4) {
    return;
  }
  const DWORD type = StyleOf(window) & BS_TYPEMASK;
  const bool pushLike = type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON;
  const bool disabled = IsDisabled(window);
  const bool pushed = IsPushed(window) || (pushLike && IsChecked(window));
  const bool focused = HasFocus(window);
  const bool isDefault = type == BS_DEFPUSHBUTTON;

  const RECT face = Inset(client, 1);
  FillGradient(dc, face, disabled ? colors.disabledFace : pushed ? colors.pushedFace : colors.face);
  if (!disabled && !pushed) {
    if (request.hot) {
      DrawRing(dc, face, colors.hotRing);
    } else if (focused || isDefault) {
      DrawRing(dc, face, colors.focusRing);
    }
  }
  DrawRoundedBorder(dc, client, disabled ? DisabledFrameColor() : colors.buttonBorder, BrushColor(background));

  RECT textRect = Inset(client, 4);
  if (pushed) {
    OffsetRect(&textRect, 1, 1);
  }
  DrawCaption(dc, window, textRect, Horizontal::center, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  if (focused && !CuesOf(window).hideFocus) {
    const RECT focus = Inset(client, 3);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawFocusRect(dc, &focus);
  }
}

// The square or circle of a check box or radio button and the room left for
// its caption.
struct BoxLayout {
  RECT box;
  RECT text;
};

BoxLayout LayoutBox(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  const DWORD style = StyleOf(window);
  int top = client.top + (client.bottom - client.top - kBoxSize) / 2;
  if ((style & BS_VCENTER) == BS_TOP) {
    top = client.top + 1;
  } else if ((style & BS_VCENTER) == BS_BOTTOM) {
    top = client.bottom - kBoxSize - 1;
  }
  BoxLayout layout{};
  layout.text = client;
  if ((style & BS_LEFTTEXT) != 0) {
    layout.box = RECT{client.right - kBoxSize, top, client.right, top + kBoxSize};
    layout.text.right = layout.box.left - 4;
  } else {
    layout.box = RECT{client.left, top, client.left + kBoxSize, top + kBoxSize};
    layout.text.left = layout.box.right + 4;
  }
  return layout;
}

// Caption and focus rectangle of a check box or radio button.
void DrawBoxCaption(HDC dc, HWND window, const RECT& textRoom, COLORREF textColor) {
  const bool disabled = IsDisabled(window);
  RECT used = DrawCaption(dc, window, textRoom, Horizontal::left, disabled ? GetSysColor(COLOR_GRAYTEXT) : textColor);
  if (HasFocus(window) && !CuesOf(window).hideFocus && used.right > used.left) {
    InflateRect(&used, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawFocusRect(dc, &used);
  }
}

const GradientPair& BoxFace(const PaintRequest& request) {
  if (IsDisabled(request.window)) {
    return request.colors.disabledFace;
  }
  if (IsPushed(request.window)) {
    return request.colors.pushedFace;
  }
  return request.hot ? request.colors.hotBoxFace : request.colors.boxFace;
}

// The square of a check box: framed, filled, and ticked or half filled by
// the check state.
void DrawCheckSquare(const PaintRequest& request, const RECT& box, COLORREF border, COLORREF mark) {
  HDC dc = request.dc;
  FrameSolid(dc, box, border);
  FillGradient(dc, Inset(box, 1), BoxFace(request));
  const auto check = SendMessageW(request.window, BM_GETCHECK, 0, 0);
  if (check == BST_CHECKED) {
    UniquePen pen(CreatePen(PS_SOLID, 1, mark));
    SelectedObject selectedPen(dc, pen.get());
    const int x = box.left;
    const int y = box.top;
    for (int row = 0; row < 3; ++row) {
      const std::array<POINT, 3> stroke = {{{x + 3, y + 5 + row}, {x + 5, y + 7 + row}, {x + 10, y + 2 + row}}};
      Polyline(dc, stroke.data(), static_cast<int>(stroke.size()));
    }
  } else if (check == BST_INDETERMINATE) {
    FillSolid(dc, Inset(box, 3), Mix(mark, RGB(255, 255, 255)));
  }
}

// The circle of a radio button, with a dot when it is checked.
void DrawRadioCircle(const PaintRequest& request, const RECT& box, COLORREF border, COLORREF mark) {
  HDC dc = request.dc;
  const GradientPair& face = BoxFace(request);
  {
    UniquePen pen(CreatePen(PS_SOLID, 1, border));
    UniqueBrush brush(CreateSolidBrush(Mix(face.top, face.bottom)));
    SelectedObject selectedPen(dc, pen.get());
    SelectedObject selectedBrush(dc, brush.get());
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
  }
  if (IsChecked(request.window)) {
    UniquePen pen(CreatePen(PS_SOLID, 1, mark));
    UniqueBrush brush(CreateSolidBrush(mark));
    SelectedObject selectedPen(dc, pen.get());
    SelectedObject selectedBrush(dc, brush.get());
    const RECT dot = Inset(box, 4);
    Ellipse(dc, dot.left, dot.top, dot.right, dot.bottom);
  }
}

using DrawBoxFunction = void (*)(const PaintRequest& request, const RECT& box, COLORREF border, COLORREF mark);

// A check box or radio button: the background, the box drawn by drawBox in
// the border and mark colours of the button's state, then the caption.
void PaintBoxButton(const PaintRequest& request, DrawBoxFunction drawBox) {
  HWND window = request.window;
  HDC dc = request.dc;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, BackgroundBrush(window, dc, WM_CTLCOLORSTATIC));
  const COLORREF textColor = GetTextColor(dc);
  const bool disabled = IsDisabled(window);
  const BoxLayout layout = LayoutBox(window);
  const COLORREF border = disabled ? DisabledFrameColor() : request.colors.boxBorder;
  const COLORREF mark = disabled ? GetSysColor(COLOR_GRAYTEXT) : request.colors.mark;
  drawBox(request, layout.box, border, mark);
  DrawBoxCaption(dc, window, layout.text, textColor);
}

void PaintCheckBox(const PaintRequest& request) { PaintBoxButton(request, DrawCheckSquare); }

void PaintRadioButton(const PaintRequest& request) { PaintBoxButton(request, DrawRadioCircle); }

void PaintGroupBox(const PaintRequest& request) {
  HWND window = request.window;
  HDC dc = request.dc;
  RECT client{};
  GetClientRect(window, &client);
  HBRUSH background = BackgroundBrush(window, dc, WM_CTLCOLORSTATIC);
  const bool disabled = IsDisabled(window);
  SelectedObject font(dc, FontOf(window));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int frameTop = metrics.tmHeight / 2 - 1;
  const RECT frame{client.left, client.top + frameTop, client.right, client.bottom};

  // Only the band of the frame and the caption are ours: the inside belongs
  // to the controls in the group.
  const std::array<RECT, 4> band = {{{frame.left, client.top, frame.right, frame.top + 2},
                                     {frame.left, frame.bottom - 2, frame.right, frame.bottom},
                                     {frame.left, frame.top, frame.left + 2, frame.bottom},
                                     {frame.right - 2, frame.top, frame.right, frame.bottom}}};
  for (const RECT& part : band) {
    FillRect(dc, &part, background);
  }
  {
    UniquePen pen(CreatePen(PS_SOLID, 1, disabled ? DisabledFrameColor() : request.colors.groupFrame));
    SelectedObject selectedPen(dc, pen.get());
    SelectedObject selectedBrush(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, frame.left, frame.top, frame.right, frame.bottom, 7, 7);
  }
  const std::wstring text = TextOf(window);
  if (text.empty()) {
    return;
  }
  RECT measured{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_SINGLELINE | DT_CALCRECT);
  const int width = measured.right - measured.left;
  int left = client.left + 8;
  const DWORD align = StyleOf(window) & BS_CENTER;
  if (align == BS_CENTER) {
    left = client.left + (client.right - client.left - width) / 2;
  } else if (align == BS_RIGHT) {
    left = client.right - 8 - width;
  }
  RECT label{left - 2, client.top, left + width + 2, client.top + metrics.tmHeight};
  FillRect(dc, &label, background);
  label = RECT{left, client.top, left + width, client.top + metrics.tmHeight};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : request.colors.groupText);
  UINT flags = DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOCLIP;
  if (CuesOf(window).hidePrefix) {
    flags |= DT_HIDEPREFIX;
  }
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, flags);
}

// The size of the window and the width of its non-client border.
struct FrameGeometry {
  RECT outer;
  int border;
};

FrameGeometry GeometryOf(HWND window) {
  RECT windowRect{};
  GetWindowRect(window, &windowRect);
  POINT clientOrigin{0, 0};
  ClientToScreen(window, &clientOrigin);
  return FrameGeometry{RECT{0, 0, windowRect.right - windowRect.left, windowRect.bottom - windowRect.top},
                       clientOrigin.x - windowRect.left};
}

COLORREF FrameColorOf(const PaintRequest& request) {
  return IsDisabled(request.window) ? DisabledFrameColor() : request.colors.frame;
}

COLORREF FieldColorOf(HWND window, SkinKind kind) {
  const bool readOnly = kind == SkinKind::edit && (StyleOf(window) & ES_READONLY) != 0;
  return IsDisabled(window) || readOnly ? GetSysColor(COLOR_BTNFACE) : GetSysColor(COLOR_WINDOW);
}

// Edit fields and drop-down lists: a one-pixel frame in place of the outer
// ring of their border, and the field's colour on the inner ring.
void PaintFieldFrame(const PaintRequest& request) {
  const FrameGeometry geometry = GeometryOf(request.window);
  if (geometry.border <= 0) {
    if (request.borderInClient) {
      FrameSolid(request.dc, geometry.outer, FrameColorOf(request));
    }
    return;  // otherwise: no border, no frame
  }
  FrameSolid(request.dc, geometry.outer, FrameColorOf(request));
  if (geometry.border >= 2) {
    FrameSolid(request.dc, Inset(geometry.outer, 1), FieldColorOf(request.window, request.kind));
  }
}

void DrawDropArrow(HDC dc, const RECT& button, COLORREF color) {
  const int centerX = (button.left + button.right) / 2;
  const int centerY = (button.top + button.bottom) / 2;
  for (int row = 0; row < 4; ++row) {
    FillSolid(dc, RECT{centerX - 4 + row, centerY - 2 + row, centerX + 5 - row, centerY - 1 + row}, color);
  }
}

// Combo boxes draw their sunken edge in the client area: the outer ring
// becomes the frame, the inner ring the field's colour, and the drop button
// a gradient button.
void PaintComboFrame(const PaintRequest& request) {
  HWND window = request.window;
  HDC dc = request.dc;
  const FrameGeometry geometry = GeometryOf(window);
  FrameSolid(dc, geometry.outer, FrameColorOf(request));
  FrameSolid(dc, Inset(geometry.outer, 1), FieldColorOf(window, request.kind));

  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(window, &info) == FALSE || IsRectEmpty(&info.rcButton) != FALSE) {
    return;
  }
  RECT button = info.rcButton;
  OffsetRect(&button, geometry.border, geometry.border);
  const bool disabled = IsDisabled(window);
  const bool pressed = (info.stateButton & STATE_SYSTEM_PRESSED) != 0;
  const GradientPair& face = disabled ? request.colors.disabledFace
                             : pressed ? request.colors.pushedFace
                             : request.hot ? request.colors.hotBoxFace
                                           : request.colors.boxFace;
  FillGradient(dc, button, GradientPair{face.bottom, face.top});
  FrameSolid(dc, button, disabled ? DisabledFrameColor() : Mix(request.colors.frame, RGB(255, 255, 255)));
  DrawDropArrow(dc, button, disabled ? GetSysColor(COLOR_GRAYTEXT) : request.colors.dropArrow);
}

// Up-down controls: a one-pixel frame around both arrows.
void PaintUpDownFrame(const PaintRequest& request) {
  FrameSolid(request.dc, GeometryOf(request.window).outer, FrameColorOf(request));
}

void PaintNothing(const PaintRequest& /*request*/) {}

using PaintFunction = void (*)(const PaintRequest&);

// Indexed by SkinKind.
constexpr std::array<PaintFunction, kSkinKindCount> kPaintFunctions = {{
    PaintNothing,      // none
    PaintPushButton,   // pushButton
    PaintCheckBox,     // checkBox
    PaintRadioButton,  // radioButton
    PaintGroupBox,     // groupBox
    PaintFieldFrame,   // edit
    PaintComboFrame,   // comboBox
    PaintFieldFrame,   // comboList
    PaintUpDownFrame,  // upDown
}};

}  // namespace

void PaintSkinned(const PaintRequest& request) {
  const auto index = static_cast<std::size_t>(request.kind);
  if (index < kPaintFunctions.size() && request.dc != nullptr) {
    kPaintFunctions[index](request);
  }
}

}  // namespace brimlet::app::skin
