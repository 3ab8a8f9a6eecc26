#include "status_label.h"

#include <cstring>
#include <memory>
#include <string>

#include "win32_handles.h"

namespace brimlet::app {
namespace {

// A brush-calligraphy display face in running script (行楷). It is not one of
// the fonts that come with Windows; where it is missing the system's font
// mapping supplies a substitute.
constexpr char kLabelFaceName[] = "\xb7\xbd\xd5\xfd\xd0\xd0\xbf\xac\xbc\xf2\xcc\xe5";  // 方正行楷简体

struct LabelState {
  UniqueFont font;
};

LabelState* StateOf(HWND label) {
  return reinterpret_cast<LabelState*>(GetWindowLongPtrA(label, GWLP_USERDATA));
}

std::string CaptionOf(HWND label) {
  const int length = GetWindowTextLengthA(label);
  if (length <= 0) {
    return {};
  }
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(label, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0U);
  return text;
}

LRESULT CALLBACK StatusLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto state = std::make_unique<LabelState>();
      const LOGFONTA logFont = StatusLabelLogFont();
      state->font.reset(CreateFontIndirectA(&logFont));
      SetWindowLongPtrA(label, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
      break;
    }
    case WM_NCDESTROY: {
      std::unique_ptr<LabelState> state(StateOf(label));
      SetWindowLongPtrA(label, GWLP_USERDATA, 0);
      break;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(label, message, wParam, lParam);
      InvalidateRect(label, nullptr, TRUE);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint function fills the whole client area
    case WM_PAINT: {
      PaintDc paint(label);
      PaintStatusLabel(label, paint.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintStatusLabel(label, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_GETFONT: {
      const LabelState* state = StateOf(label);
      return reinterpret_cast<LRESULT>(state != nullptr ? state->font.get() : nullptr);
    }
    default:
      break;
  }
  return DefWindowProcA(label, message, wParam, lParam);
}

}  // namespace

bool RegisterStatusLabelClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  if (GetClassInfoExA(instance, kStatusLabelClass, &windowClass) != FALSE) {
    return true;
  }
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = StatusLabelProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = nullptr;
  windowClass.lpszClassName = kStatusLabelClass;
  return RegisterClassExA(&windowClass) != 0;
}

LOGFONTA StatusLabelLogFont() {
  LOGFONTA logFont{};
  logFont.lfHeight = -16;
  logFont.lfWidth = 0;
  logFont.lfEscapement = 0;
  logFont.lfOrientation = 0;
  logFont.lfWeight = FW_BOLD;
  logFont.lfItalic = 255;
  logFont.lfUnderline = FALSE;
  logFont.lfStrikeOut = FALSE;
  std::memcpy(logFont.lfFaceName, kLabelFaceName, sizeof kLabelFaceName);
  // The stored settings are replaced by the defaults before creation.
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = PROOF_QUALITY;
  logFont.lfPitchAndFamily = DEFAULT_PITCH;
  return logFont;
}

void PaintStatusLabel(HWND label, HDC dc) {
  RECT client{};
  GetClientRect(label, &client);
  SavedDcState saved(dc);
  // Nothing drawn passes the label's client area, whatever DC it is given.
  IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));

  std::string caption = CaptionOf(label);
  if (caption.empty()) {
    return;
  }
  const LabelState* state = StateOf(label);
  HGDIOBJ font = state != nullptr && state->font ? static_cast<HGDIOBJ>(state->font.get())
                                                 : GetStockObject(DEFAULT_GUI_FONT);
  SelectedObject selectedFont(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kLabelTextColor);
  DrawTextA(dc, caption.data(), static_cast<int>(caption.size()), &client,
            DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
}

}  // namespace brimlet::app
