// MainWindow made in the test's own process: its place, frame, controls,
// label and picture, and the program's exit routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "app_state.h"
#include "capture.h"
#include "main_window.h"
#include "picture_box.h"
#include "program.h"
#include "skin/skin.h"
#include "skin/skin_registry.h"
#include "status_label.h"
#include "window_support.h"

namespace brimlet::app {
namespace {

using test::Capture;

TEST(CenteredWindowOriginTest, CentresBySignedTruncatingDivision) {
  struct Row {
    int screenWidth, screenHeight, left, top;
  };
  const std::array<Row, 6> rows = {{
      {1024, 768, 154, 243},
      {1920, 1080, 602, 399},
      {800, 600, 42, 159},
      {717, 283, 0, 0},    // (1) / 2 truncates to 0
      {700, 200, -8, -41}, // screens smaller than the window: negative origin
      {701, 281, -7, 0},   // -15 / 2 and -1 / 2 truncate toward zero
  }};
  for (const Row& row : rows) {
    const POINT origin = CenteredWindowOrigin(row.screenWidth, row.screenHeight);
    EXPECT_EQ(origin.x, row.left) << row.screenWidth << "x" << row.screenHeight;
    EXPECT_EQ(origin.y, row.top) << row.screenWidth << "x" << row.screenHeight;
  }
}

TEST(FitPictureRectTest, ShrinksToFitAndNeverEnlarges) {
  struct Row {
    int boxWidth, boxHeight, pictureWidth, pictureHeight;
    RECT expected;
  };
  const std::array<Row, 6> rows = {{
      {176, 168, 253, 190, {0, 18, 176, 150}},   // the program's picture
      {176, 168, 100, 50, {38, 59, 138, 109}},   // smaller: centred, natural size
      {176, 168, 176, 168, {0, 0, 176, 168}},    // exact fit
      {176, 168, 100, 400, {67, 0, 109, 168}},   // taller: s = 168 / 400, 42 wide
      {176, 168, 400, 100, {0, 62, 176, 106}},   // wider: s = 176 / 400, 44 high
      {176, 168, 0, 0, {88, 84, 88, 84}},        // empty picture: nothing drawn
  }};
  for (const Row& row : rows) {
    const RECT drawn = FitPictureRect(row.boxWidth, row.boxHeight, row.pictureWidth, row.pictureHeight);
    EXPECT_EQ(drawn.left, row.expected.left) << row.pictureWidth << "x" << row.pictureHeight;
    EXPECT_EQ(drawn.top, row.expected.top) << row.pictureWidth << "x" << row.pictureHeight;
    EXPECT_EQ(drawn.right, row.expected.right) << row.pictureWidth << "x" << row.pictureHeight;
    EXPECT_EQ(drawn.bottom, row.expected.bottom) << row.pictureWidth << "x" << row.pictureHeight;
  }
}

TEST(ProgramTest, FolderOfPathCutsBeforeTheLastBackslash) {
  EXPECT_EQ(FolderOfPath("C:\\Tools\\Brimlet.exe"), "C:\\Tools");
  EXPECT_EQ(FolderOfPath("Z:\\a\\b\\c.exe"), "Z:\\a\\b");
  EXPECT_EQ(FolderOfPath("Brimlet.exe"), "Brimlet.exe");
  EXPECT_EQ(FolderOfPath(""), "");
}

TEST(ProgramTest, ExitRoutineReleasesTheDroppedPath) {
  droppedFilePath = "C:\\Tools\\setup.exe";
  OnProgramExit();
  EXPECT_TRUE(droppedFilePath.empty());
  OnProgramExit();  // nothing held: nothing to release
  EXPECT_TRUE(droppedFilePath.empty());
}

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    window_ = CreateMainWindow(GetModuleHandleW(nullptr));
    test::PumpMessages();
  }
  static void TearDownTestSuite() {
    if (window_ != nullptr) {
      DestroyWindow(window_);
    }
    SetSkinScheme(0);
    test::PumpMessages();
  }
  void SetUp() override { ASSERT_NE(window_, nullptr); }

  static std::vector<HWND> ChildrenTopToBottom() {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      children.push_back(child);
    }
    return children;
  }
  static HWND Control(int id) { return GetDlgItem(window_, id); }

  static HWND window_;
};

HWND MainWindowTest::window_ = nullptr;

TEST_F(MainWindowTest, IsCentredOnThePrimaryScreenWithItsOuterSize) {
  RECT outer{};
  GetWindowRect(window_, &outer);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(outer.right - outer.left, 716);
  EXPECT_EQ(outer.bottom - outer.top, 282);
  EXPECT_EQ(outer.left, (screenWidth - 716) / 2);
  EXPECT_EQ(outer.top, (screenHeight - 282) / 2);
  std::printf("screen %dx%d, window at (%ld, %ld)\n", screenWidth, screenHeight, outer.left, outer.top);
}

TEST_F(MainWindowTest, OpensAtTheKnownPlaceOfKnownScreens) {
  struct Row {
    int screenWidth, screenHeight, left, top;
  };
  const std::array<Row, 2> rows = {{{1024, 768, 154, 243}, {1920, 1080, 602, 399}}};
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  for (const Row& row : rows) {
    if (row.screenWidth == screenWidth && row.screenHeight == screenHeight) {
      RECT outer{};
      GetWindowRect(window_, &outer);
      EXPECT_EQ(outer.left, row.left);
      EXPECT_EQ(outer.top, row.top);
      return;
    }
  }
  GTEST_SKIP() << "screen " << screenWidth << "x" << screenHeight << " has no known place";
}

TEST_F(MainWindowTest, HasAFixedFrameWithCaptionIconsAndFont) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE));
  // The system adds WS_CLIPSIBLINGS to every top-level window and
  // WS_EX_WINDOWEDGE to every captioned one.
  EXPECT_EQ(style & ~static_cast<DWORD>(WS_CLIPSIBLINGS), kMainWindowStyle | WS_VISIBLE);
  EXPECT_EQ(style & WS_THICKFRAME, 0U);
  EXPECT_EQ(exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), 0U);
  EXPECT_EQ(test::AnsiText(window_), "Brimlet");
  EXPECT_EQ(GetWindow(window_, GW_OWNER), nullptr);
  EXPECT_EQ(GetParent(window_), nullptr);
  EXPECT_EQ(GetMenu(window_), nullptr);
  EXPECT_EQ(GetClassLongPtrA(window_, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(window_, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(MainWindowHandle(), window_);

  for (const WPARAM which : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
    auto* icon = reinterpret_cast<HICON>(SendMessageA(window_, WM_GETICON, which, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP color{};
    GetObjectA(info.hbmColor, sizeof color, &color);
    EXPECT_EQ(color.bmWidth, 48);
    EXPECT_EQ(color.bmHeight, 48);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  HMENU systemMenu = GetSystemMenu(window_, FALSE);
  ASSERT_NE(systemMenu, nullptr);
  EXPECT_NE(GetMenuState(systemMenu, SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST_F(MainWindowTest, EdgesDoNotResizeButMaximizeWorks) {
  RECT outer{};
  GetWindowRect(window_, &outer);
  const int middleY = (outer.top + outer.bottom) / 2;
  const LRESULT rightEdge = SendMessageA(window_, WM_NCHITTEST, 0, MAKELPARAM(outer.right - 1, middleY));
  EXPECT_NE(rightEdge, HTRIGHT);
  const LRESULT bottomRight = SendMessageA(window_, WM_NCHITTEST, 0, MAKELPARAM(outer.right - 1, outer.bottom - 1));
  EXPECT_NE(bottomRight, HTBOTTOMRIGHT);

  const RECT buttonBefore = test::RectInParent(Control(kExtractButtonId));
  ShowWindow(window_, SW_MAXIMIZE);
  test::PumpMessages();
  EXPECT_TRUE(IsZoomed(window_));
  const RECT buttonMaximized = test::RectInParent(Control(kExtractButtonId));
  EXPECT_TRUE(EqualRect(&buttonBefore, &buttonMaximized));
  ShowWindow(window_, SW_RESTORE);
  test::PumpMessages();
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.right - outer.left, 716);
  EXPECT_EQ(outer.bottom - outer.top, 282);
}

TEST_F(MainWindowTest, ControlsAreStackedWithTheirPlacesTextsAndStyles) {
  struct Row {
    int id;
    const char* className;
    RECT rect;
    std::string text;
    bool shown;
    bool tabStop;
  };
  const std::array<Row, 5> rows = {{
      {kPictureBoxId, kPictureBoxClass, {80, 112, 256, 280}, "", true, false},
      {kStatusLabelId, kStatusLabelClass, {0, 64, 744, 120}, kWelcomeText, true, false},
      {kDropObjectId, "Static", {24, 168, 64, 208}, "", false, false},
      {kDeleteButtonId, "Button", {464, 160, 560, 200}, "\xc9\xbe\xb3\xfd", true, true},
      {kExtractButtonId, "Button", {288, 160, 384, 200}, "\xcc\xe1\xc8\xa1", true, true},
  }};
  const std::vector<HWND> children = ChildrenTopToBottom();
  ASSERT_EQ(children.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    HWND child = children[i];
    SCOPED_TRACE(row.id);
    EXPECT_EQ(GetDlgCtrlID(child), row.id);
    std::array<char, 64> className{};
    GetClassNameA(child, className.data(), static_cast<int>(className.size()));
    EXPECT_EQ(lstrcmpiA(className.data(), row.className), 0) << className.data();
    const RECT rect = test::RectInParent(child);
    EXPECT_TRUE(EqualRect(&rect, &row.rect))
        << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    EXPECT_EQ(test::AnsiText(child), row.text);
    EXPECT_EQ(IsWindowVisible(child) != FALSE, row.shown);
    EXPECT_TRUE(IsWindowEnabled(child));
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS), static_cast<DWORD>(WS_CHILD | WS_CLIPSIBLINGS));
    EXPECT_EQ((style & WS_TABSTOP) != 0, row.tabStop);
    EXPECT_EQ(style & (WS_BORDER | WS_DISABLED), 0U);
  }
}

TEST_F(MainWindowTest, ButtonsArePlainPushButtonsRestyledByTheSkin) {
  for (const int id : {kExtractButtonId, kDeleteButtonId}) {
    HWND button = Control(id);
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(button, GWL_STYLE));
    EXPECT_EQ(style & 0xFFFFU, static_cast<DWORD>(BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_TRUE(skin::IsRestyled(button));
  }
  EXPECT_EQ(skin::ActiveScheme(), 2);
  // Scheme 2's push button border.
  const Capture face = test::PrintClientArea(Control(kExtractButtonId));
  EXPECT_EQ(face.At(48, 0), RGB(55, 98, 6));
  EXPECT_EQ(face.At(0, 20), RGB(55, 98, 6));
}

TEST_F(MainWindowTest, LabelCaptionIsReadAndWrittenAsWindowText) {
  HWND label = Control(kStatusLabelId);
  EXPECT_EQ(StatusLabel(), label);
  EXPECT_EQ(test::AnsiText(label), kWelcomeText);
  const std::string status = "\xd2\xd1\xbd\xd3\xca\xd5";  // 已接收
  SetWindowTextA(label, status.c_str());
  EXPECT_EQ(test::AnsiText(label), status);
  SetWindowTextA(label, kWelcomeText);
  EXPECT_EQ(test::AnsiText(label), kWelcomeText);
}

TEST_F(MainWindowTest, LabelFontIsBoldItalicSixteenPixels) {
  const LOGFONTA font = StatusLabelLogFont();
  EXPECT_EQ(font.lfHeight, -16);
  EXPECT_EQ(font.lfWidth, 0);
  EXPECT_EQ(font.lfWeight, 700);
  EXPECT_EQ(font.lfItalic, 255);
  EXPECT_EQ(font.lfUnderline, 0);
  EXPECT_EQ(font.lfStrikeOut, 0);
  EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(font.lfQuality, PROOF_QUALITY);
  EXPECT_EQ(font.lfPitchAndFamily, DEFAULT_PITCH);
  EXPECT_GT(std::string(font.lfFaceName).size(), 0U);
  EXPECT_NE(SendMessageA(Control(kStatusLabelId), WM_GETFONT, 0, 0), 0);
}

// Blue text on the button face: where the strongly blue pixels are.
struct TextBand {
  int count = 0;
  int top = 1 << 20;
  int bottom = -1;
  int left = 1 << 20;
  int right = -1;
  int rowsWithout = 0;  // rows inside [top, bottom] without a blue pixel
  bool onlyBlueOnFace = true;
};

TextBand FindBlueText(const Capture& capture) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  TextBand band;
  std::vector<bool> rowHasBlue(static_cast<std::size_t>(capture.height), false);
  for (int y = 0; y < capture.height; ++y) {
    for (int x = 0; x < capture.width; ++x) {
      const COLORREF pixel = capture.At(x, y);
      if (pixel == face) {
        continue;
      }
      const int red = GetRValue(pixel);
      const int green = GetGValue(pixel);
      const int blue = GetBValue(pixel);
      // Anti-aliased blue over the face keeps blue the largest channel.
      if (blue < red || blue < green) {
        band.onlyBlueOnFace = false;
      }
      if (blue >= 200 && red <= 120 && green <= 120) {
        ++band.count;
        rowHasBlue[static_cast<std::size_t>(y)] = true;
        band.top = std::min(band.top, y);
        band.bottom = std::max(band.bottom, y);
        band.left = std::min(band.left, x);
        band.right = std::max(band.right, x);
      }
    }
  }
  for (int y = band.top; y <= band.bottom; ++y) {
    if (!rowHasBlue[static_cast<std::size_t>(y)]) {
      ++band.rowsWithout;
    }
  }
  return band;
}

TEST_F(MainWindowTest, LabelDrawsTheWelcomeTextInBlueOnOneCentredLine) {
  const Capture capture = test::PrintClientArea(Control(kStatusLabelId));
  ASSERT_EQ(capture.width, 744);
  ASSERT_EQ(capture.height, 56);
  const TextBand band = FindBlueText(capture);
  EXPECT_TRUE(band.onlyBlueOnFace);
  EXPECT_GT(band.count, 300);
  // One line: a single band no taller than a 16-pixel line, centred in the
  // 56 rows, from the left edge far to the right.
  EXPECT_LE(band.bottom - band.top + 1, 22);
  EXPECT_EQ(band.rowsWithout, 0);
  EXPECT_NEAR((band.top + band.bottom) / 2.0, 28.0, 4.0);
  EXPECT_LT(band.left, 8);
  EXPECT_GT(band.right, 500);
  // Corners are the button face.
  EXPECT_EQ(capture.At(0, 0), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(capture.At(743, 55), GetSysColor(COLOR_BTNFACE));
}

TEST_F(MainWindowTest, LabelDrawsANewCaptionTheSameWay) {
  HWND label = Control(kStatusLabelId);
  SetWindowTextA(label, "\xc7\xeb\xcd\xcf\xb6\xaf");  // 请拖动
  const TextBand band = FindBlueText(test::PrintClientArea(label));
  SetWindowTextA(label, "");
  const TextBand empty = FindBlueText(test::PrintClientArea(label));
  SetWindowTextA(label, kWelcomeText);
  EXPECT_GT(band.count, 20);
  EXPECT_LT(band.left, 8);
  EXPECT_LT(band.right, 120);
  EXPECT_NEAR((band.top + band.bottom) / 2.0, 28.0, 4.0);
  EXPECT_EQ(empty.count, 0);
}

TEST_F(MainWindowTest, PictureIsDrawn176By132AtRow18) {
  const Capture capture = test::PrintClientArea(Control(kPictureBoxId));
  ASSERT_EQ(capture.width, 176);
  ASSERT_EQ(capture.height, 168);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int y = 0; y < 18; ++y) {
    EXPECT_TRUE(capture.RowIs(y, face)) << "row " << y;
  }
  for (int y = 150; y < 168; ++y) {
    EXPECT_TRUE(capture.RowIs(y, face)) << "row " << y;
  }
  // The picture's white ground fills the first and last drawn rows and
  // reaches both sides.
  EXPECT_TRUE(capture.RowHasOtherThan(18, face));
  EXPECT_TRUE(capture.RowHasOtherThan(149, face));
  for (const int x : {0, 175}) {
    const COLORREF pixel = capture.At(x, 20);
    EXPECT_GE(GetRValue(pixel), 245) << x;
    EXPECT_GE(GetGValue(pixel), 245) << x;
    EXPECT_GE(GetBValue(pixel), 245) << x;
  }
  // The picture is colourful: the hero's red cape and blue suit.
  int red = 0;
  int blue = 0;
  for (int y = 18; y < 150; ++y) {
    for (int x = 0; x < 176; ++x) {
      const COLORREF pixel = capture.At(x, y);
      red += GetRValue(pixel) > 180 && GetGValue(pixel) < 80 && GetBValue(pixel) < 80 ? 1 : 0;
      blue += GetBValue(pixel) > 140 && GetRValue(pixel) < 80 ? 1 : 0;
    }
  }
  EXPECT_GT(red, 200);
  EXPECT_GT(blue, 200);
}

TEST_F(MainWindowTest, ProgramResourcesHoldTheIconGroupAndThePicture) {
  HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_NE(FindResourceA(self, kIconResourceName, MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
  HRSRC picture = FindResourceA(self, kPictureResourceName, MAKEINTRESOURCEA(10));    // RT_RCDATA
  ASSERT_NE(picture, nullptr);
  EXPECT_NEAR(static_cast<double>(SizeofResource(self, picture)), 7000.0, 1000.0);
}

}  // namespace
}  // namespace brimlet::app

namespace brimlet::app {
namespace {

// What the timer saw while the program ran, before it closed the window.
struct RunningState {
  bool seen = false;
  int scheme = 0;
  bool buttonRestyled = false;
};
RunningState running;

void CALLBACK CloseWhenRunning(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
  HWND window = MainWindowHandle();
  if (window == nullptr || running.seen) {
    return;
  }
  KillTimer(nullptr, timer);
  running.seen = true;
  running.scheme = skin::ActiveScheme();
  running.buttonRestyled = skin::IsRestyled(GetDlgItem(window, kExtractButtonId));
  droppedFilePath = "C:\\Tools\\setup.exe";
  PostMessageA(window, WM_CLOSE, 0, 0);
}

// The whole run in the test's own process: the skin is on while the window
// runs, and the shutdown ends it (its hook and its records) before OLE, not
// with the process after the start routine has returned.
TEST(ProgramRunInProcessTest, ShutdownEndsTheSkinAndReleasesThePath) {
  std::string folder(MAX_PATH, '\0');
  folder.resize(GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data()));
  test::PumpMessages();  // no quit message left over from earlier windows
  running = RunningState{};
  ASSERT_NE(SetTimer(nullptr, 0, 0, CloseWhenRunning), 0U);

  const int exitCode = RunProgram(GetModuleHandleW(nullptr));
  SetCurrentDirectoryA(folder.c_str());

  EXPECT_EQ(exitCode, 0);
  ASSERT_TRUE(running.seen);
  EXPECT_EQ(running.scheme, 2);
  EXPECT_TRUE(running.buttonRestyled);
  EXPECT_EQ(MainWindowHandle(), nullptr);
  EXPECT_TRUE(droppedFilePath.empty());
  EXPECT_EQ(skin::ActiveScheme(), 0);
  EXPECT_EQ(skin::RestyledWindowCount(), 0U);
  // No hook is left: a button made now keeps its class's procedure.
  HWND button = CreateWindowExA(0, "BUTTON", "After", WS_POPUP | BS_PUSHBUTTON, 0, 0, 60, 20, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(skin::IsRestyled(button));
  DestroyWindow(button);
  test::PumpMessages();
}

}  // namespace
}  // namespace brimlet::app
