// Brimlet.exe itself: started as its own process, it shows its window in the
// centre of the screen and ends with exit code 0 when the window is closed.
// With BRIMLET_SCREENSHOT set, the window is also saved there as a BMP file.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "capture.h"
#include "main_window.h"
#include "support/program_process.h"
#include "support/test_paths.h"

namespace brimlet::app {
namespace {

// The program's main window is the one of its own class.
bool IsProgramWindow(HWND window) {
  std::array<char, 64> className{};
  GetClassNameA(window, className.data(), static_cast<int>(className.size()));
  return std::string(className.data()) == kMainWindowClass;
}

TEST(ProgramRunTest, ShowsTheCentredWindowAndEndsWithZeroAfterClose) {
  std::string program = test::NativePath(BRIMLET_PROGRAM_PATH);
  const test::ProgramProcess process(program);
  ASSERT_TRUE(process.Started()) << program;

  HWND window = process.WaitForWindow(IsProgramWindow);
  ASSERT_NE(window, nullptr);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.right - outer.left, 716);
  EXPECT_EQ(outer.bottom - outer.top, 282);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 716) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 282) / 2);
  std::array<char, 32> caption{};
  GetWindowTextA(window, caption.data(), static_cast<int>(caption.size()));
  EXPECT_STREQ(caption.data(), "Brimlet");

  // Let the program paint, then look at the screen.
  for (int round = 0; round < 20; ++round) {
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, nullptr);
    Sleep(50);
  }
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, nullptr);
  Sleep(300);
  const char* screenshot = std::getenv("BRIMLET_SCREENSHOT");
  if (screenshot != nullptr && *screenshot != '\0') {
    const test::Capture capture = test::CaptureScreen(outer);
    EXPECT_TRUE(test::WriteBmp(capture, test::NativePath(screenshot))) << screenshot;
    // The label's blue text is on the screen, in the client area.
    POINT clientOrigin{0, 0};
    ClientToScreen(window, &clientOrigin);
    const int labelTop = clientOrigin.y - outer.top + 64;
    int blue = 0;
    for (int y = labelTop; y < labelTop + 56; ++y) {
      for (int x = 0; x < capture.width; ++x) {
        const COLORREF pixel = capture.At(x, y);
        blue += GetBValue(pixel) >= 200 && GetRValue(pixel) <= 120 && GetGValue(pixel) <= 120 ? 1 : 0;
      }
    }
    EXPECT_GT(blue, 300);
  }

  const std::optional<DWORD> exitCode = process.CloseAndWait(window);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after WM_CLOSE";
  EXPECT_EQ(*exitCode, 0U);
}

TEST(ProgramFileTest, VersionResourceHoldsTheVersionsAndNames) {
  const std::string program = test::NativePath(BRIMLET_PROGRAM_PATH);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
  ASSERT_GT(size, 0U);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000U);
  EXPECT_EQ(fixed->dwFileVersionLS, 0U);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000U);
  EXPECT_EQ(fixed->dwProductVersionLS, 0U);
  struct Row {
    const char* name;
    std::string value;
  };
  const std::array<Row, 5> rows = {{
      {"CompanyName", "Orvelle"},
      {"ProductName", "Brimlet"},
      {"FileVersion", "1.0.0.0"},
      {"ProductVersion", "1.0.0.0"},
      // 欢迎使用由Orvelle出品的Brimlet。 in GBK
      {"FileDescription", "\xbb\xb6\xd3\xad\xca\xb9\xd3\xc3\xd3\xc9" "Orvelle" "\xb3\xf6\xc6\xb7\xb5\xc4" "Brimlet" "\xa1\xa3"},
  }};
  for (const Row& row : rows) {
    char* value = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\080403a8\\") + row.name;
    ASSERT_TRUE(VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << row.name;
    EXPECT_EQ(std::string(value), row.value) << row.name;
  }
}

}  // namespace
}  // namespace brimlet::app
