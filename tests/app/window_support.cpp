#include "window_support.h"

#include <gtest/gtest.h>
#include <ole2.h>

namespace brimlet::test {
namespace {

// The window tests run with OLE prepared on their thread, as the program does.
class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { OleInitialize(nullptr); }
  void TearDown() override { OleUninitialize(); }
};

[[maybe_unused]] const ::testing::Environment* const oleEnvironment =
    ::testing::AddGlobalTestEnvironment(new OleEnvironment);

}  // namespace

void PumpMessages() {
  MSG message{};
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      if (message.message == WM_QUIT) {
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

RECT RectInParent(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string AnsiText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0U);
  return text;
}

COLORREF ButtonFaceDarkenedBy32() {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  auto lower = [](int channel) { return channel >= 32 ? channel - 32 : 0; };
  return RGB(lower(GetRValue(face)), lower(GetGValue(face)), lower(GetBValue(face)));
}

}  // namespace brimlet::test
