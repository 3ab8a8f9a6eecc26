#include "picture_box.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <memory>

#include "win32_handles.h"

namespace brimlet::app {
namespace {

// The decoded picture. The IPicture owns the bitmap it hands out.
struct PictureState {
  ComPtr<IPicture> picture;
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
};

PictureState* StateOf(HWND box) {
  return reinterpret_cast<PictureState*>(GetWindowLongPtrA(box, GWLP_USERDATA));
}

// Decodes the JPEG of the RCDATA resource with OLE's picture loading.
void LoadStoredPicture(HINSTANCE instance, PictureState& state) {
  HRSRC resource = FindResourceA(instance, kPictureResourceName, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (resource == nullptr) {
    return;
  }
  const DWORD size = SizeofResource(instance, resource);
  HGLOBAL loaded = LoadResource(instance, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) {
    return;
  }
  UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (copy.get() == nullptr) {
    return;
  }
  void* target = GlobalLock(copy.get());
  if (target == nullptr) {
    return;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(copy.get());

  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(copy.get(), TRUE, stream.put()))) {
    return;
  }
  copy.release();  // the stream frees the block now
  ComPtr<IPicture> picture;
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.put_void()))) {
    return;
  }
  SHORT type = PICTYPE_UNINITIALIZED;
  OLE_HANDLE handle = 0;
  if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->get_Handle(&handle))) {
    return;
  }
  auto* bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof info, &info) == 0) {
    return;
  }
  state.picture = std::move(picture);
  state.bitmap = bitmap;
  state.width = info.bmWidth;
  state.height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto state = std::make_unique<PictureState>();
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      LoadStoredPicture(create->hInstance, *state);
      SetWindowLongPtrA(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
      break;
    }
    case WM_NCDESTROY: {
      std::unique_ptr<PictureState> state(StateOf(box));
      SetWindowLongPtrA(box, GWLP_USERDATA, 0);
      break;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint function fills the whole client area
    case WM_PAINT: {
      PaintDc paint(box);
      PaintPictureBox(box, paint.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintPictureBox(box, reinterpret_cast<HDC>(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(box, message, wParam, lParam);
}

}  // namespace

RECT FitPictureRect(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight) {
  int x = 0;
  int y = 0;
  int roomWidth = boxWidth;
  int roomHeight = boxHeight;
  if (pictureWidth < roomWidth) {
    x = (roomWidth - pictureWidth) / 2;
    roomWidth = pictureWidth;
  }
  if (pictureHeight < roomHeight) {
    y = (roomHeight - pictureHeight) / 2;
    roomHeight = pictureHeight;
  }
  int drawnWidth = pictureWidth;
  int drawnHeight = pictureHeight;
  if ((roomWidth < pictureWidth || roomHeight < pictureHeight) && pictureWidth > 0 && pictureHeight > 0) {
    const double scaleX = static_cast<double>(roomWidth) / pictureWidth;
    const double scaleY = static_cast<double>(roomHeight) / pictureHeight;
    const double scale = scaleX < scaleY ? scaleX : scaleY;
    drawnWidth = static_cast<int>(pictureWidth * scale);
    drawnHeight = static_cast<int>(pictureHeight * scale);
    x += (roomWidth - drawnWidth) / 2;
    y += (roomHeight - drawnHeight) / 2;
  }
  return RECT{x, y, x + drawnWidth, y + drawnHeight};
}

bool RegisterPictureBoxClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  if (GetClassInfoExA(instance, kPictureBoxClass, &windowClass) != FALSE) {
    return true;
  }
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = PictureBoxProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.lpszClassName = kPictureBoxClass;
  return RegisterClassExA(&windowClass) != 0;
}

void PaintPictureBox(HWND box, HDC dc) {
  RECT client{};
  GetClientRect(box, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const PictureState* state = StateOf(box);
  if (state == nullptr || state->bitmap == nullptr) {
    return;
  }
  const RECT drawn = FitPictureRect(client.right, client.bottom, state->width, state->height);
  MemoryDc source(dc);
  if (source.get() == nullptr) {
    return;
  }
  SelectedObject selectedBitmap(source.get(), state->bitmap);
  const int displayBits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  if (displayBits > 16) {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
  } else {
    SetStretchBltMode(dc, COLORONCOLOR);
  }
  StretchBlt(dc, drawn.left, drawn.top, drawn.right - drawn.left, drawn.bottom - drawn.top, source.get(), 0, 0,
             state->width, state->height, SRCCOPY);
}

}  // namespace brimlet::app
