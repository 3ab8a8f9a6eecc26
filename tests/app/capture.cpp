#include "capture.h"

#include <cstring>
#include <fstream>

#include "win32_handles.h"

namespace brimlet::test {
namespace {

using app::MemoryDc;
using app::SelectedObject;
using app::UniqueBitmap;

// A 32-bit top-down DIB section of the given size, filled with a marker
// colour, drawn into by draw(dc) and read back.
template <typename Draw>
Capture Render(int width, int height, Draw draw) {
  Capture capture;
  if (width <= 0 || height <= 0) {
    return capture;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  UniqueBitmap bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  MemoryDc dc(screen);
  ReleaseDC(nullptr, screen);
  if (!bitmap || bits == nullptr || dc.get() == nullptr) {
    return capture;
  }
  {
    SelectedObject selected(dc.get(), bitmap.get());
    RECT all{0, 0, width, height};
    app::UniqueBrush marker(CreateSolidBrush(RGB(255, 0, 255)));
    FillRect(dc.get(), &all, marker.get());
    draw(dc.get());
    GdiFlush();
  }
  capture.width = width;
  capture.height = height;
  capture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::memcpy(capture.pixels.data(), bits, capture.pixels.size() * sizeof(std::uint32_t));
  for (std::uint32_t& pixel : capture.pixels) {
    pixel &= 0x00FFFFFFU;
  }
  return capture;
}

}  // namespace

COLORREF Capture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    return CLR_INVALID;
  }
  const std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                     static_cast<std::size_t>(x)];
  return RGB((pixel >> 16) & 0xFFU, (pixel >> 8) & 0xFFU, pixel & 0xFFU);
}

bool Capture::RowIs(int y, COLORREF color) const {
  for (int x = 0; x < width; ++x) {
    if (At(x, y) != color) {
      return false;
    }
  }
  return width > 0;
}

bool Capture::RowHasOtherThan(int y, COLORREF color) const {
  for (int x = 0; x < width; ++x) {
    if (At(x, y) != color) {
      return true;
    }
  }
  return false;
}

Capture PrintClientArea(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return Render(client.right, client.bottom, [window](HDC dc) {
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  });
}

Capture PrintWholeWindow(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  return Render(outer.right - outer.left, outer.bottom - outer.top, [window](HDC dc) {
    SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
  });
}

Capture CaptureScreen(const RECT& area) {
  return Render(area.right - area.left, area.bottom - area.top, [&area](HDC dc) {
    HDC screen = GetDC(nullptr);
    BitBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

bool WriteBmp(const Capture& capture, const std::string& path) {
  if (capture.width <= 0 || capture.height <= 0) {
    return false;
  }
  const auto width = static_cast<std::uint32_t>(capture.width);
  const auto height = static_cast<std::uint32_t>(capture.height);
  const std::uint32_t stride = (width * 3U + 3U) & ~3U;
  const std::uint32_t imageSize = stride * height;
  std::string bytes;
  auto put16 = [&bytes](std::uint32_t value) {
    bytes.push_back(static_cast<char>(value & 0xFFU));
    bytes.push_back(static_cast<char>((value >> 8) & 0xFFU));
  };
  auto put32 = [&put16](std::uint32_t value) {
    put16(value & 0xFFFFU);
    put16(value >> 16);
  };
  bytes += "BM";
  put32(14U + 40U + imageSize);
  put32(0);
  put32(14U + 40U);
  put32(40);
  put32(width);
  put32(height);
  put16(1);
  put16(24);
  put32(0);
  put32(imageSize);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  for (int y = capture.height - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int x = 0; x < capture.width; ++x) {
      const COLORREF color = capture.At(x, y);
      const auto at = static_cast<std::size_t>(x) * 3U;
      row[at] = static_cast<char>(GetBValue(color));
      row[at + 1] = static_cast<char>(GetGValue(color));
      row[at + 2] = static_cast<char>(GetRValue(color));
    }
    bytes += row;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace brimlet::test
