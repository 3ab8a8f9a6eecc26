// The XP-style skin: which windows it restyles, the colours it draws, and
// that switching it off gives every window its own procedure back.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "capture.h"
#include "skin/skin.h"
#include "skin/skin_colors.h"
#include "skin/skin_kinds.h"
#include "skin/skin_registry.h"
#include "window_support.h"

namespace brimlet::app {
namespace {

using skin::IsRestyled;
using skin::SkinKind;
using test::Capture;

struct SchemeRow {
  int scheme;
  COLORREF frame;
  COLORREF buttonBorder;
};
constexpr std::array<SchemeRow, 3> kSchemeRows = {{
    {1, RGB(123, 158, 189), RGB(0, 60, 115)},
    {2, RGB(164, 185, 127), RGB(55, 98, 6)},
    {3, RGB(198, 197, 215), RGB(0, 60, 116)},
}};

TEST(SkinKindTest, ClassifiesByClassNameAndStyle) {
  struct Row {
    const wchar_t* className;
    DWORD style;
    bool hasText;
    const wchar_t* parentClass;
    DWORD parentStyle;
    SkinKind expected;
  };
  constexpr DWORD child = WS_CHILD | WS_VISIBLE;
  const std::array<Row, 32> rows = {{
      {L"Button", child | BS_PUSHBUTTON, true, L"", 0, SkinKind::pushButton},
      {L"BUTTON", child | BS_DEFPUSHBUTTON, true, L"", 0, SkinKind::pushButton},
      {L"button", child | BS_CHECKBOX, true, L"", 0, SkinKind::checkBox},
      {L"Button", child | BS_AUTOCHECKBOX, true, L"", 0, SkinKind::checkBox},
      {L"Button", child | BS_3STATE, true, L"", 0, SkinKind::checkBox},
      {L"Button", child | BS_AUTO3STATE, true, L"", 0, SkinKind::checkBox},
      {L"Button", child | BS_RADIOBUTTON, true, L"", 0, SkinKind::radioButton},
      {L"Button", child | BS_AUTORADIOBUTTON, true, L"", 0, SkinKind::radioButton},
      {L"Button", child | BS_AUTOCHECKBOX | BS_PUSHLIKE, true, L"", 0, SkinKind::pushButton},
      {L"Button", child | BS_AUTORADIOBUTTON | BS_PUSHLIKE, true, L"", 0, SkinKind::pushButton},
      {L"Button", child | BS_GROUPBOX, true, L"", 0, SkinKind::groupBox},
      {L"Button", child | BS_OWNERDRAW, true, L"", 0, SkinKind::none},
      {L"Button", child | BS_PUSHBUTTON | BS_BITMAP, false, L"", 0, SkinKind::none},
      {L"Button", child | BS_PUSHBUTTON | BS_ICON, false, L"", 0, SkinKind::none},
      {L"Button", child | BS_USERBUTTON, true, L"", 0, SkinKind::none},
      {L"Button", child | BS_PUSHBOX, true, L"", 0, SkinKind::none},
      {L"Button", WS_CHILD | WS_TABSTOP, false, L"", 0, SkinKind::none},
      {L"Button", WS_CHILD | WS_TABSTOP, true, L"", 0, SkinKind::pushButton},
      {L"Button", WS_CHILD | WS_TABSTOP | WS_VISIBLE, false, L"", 0, SkinKind::pushButton},
      {L"Edit", child | WS_BORDER, false, L"", 0, SkinKind::edit},
      {L"EDIT", child, false, L"SysIPAddress32", child, SkinKind::none},
      {L"ComboBox", child | CBS_DROPDOWN, false, L"", 0, SkinKind::comboBox},
      {L"ComboBox", child | CBS_DROPDOWNLIST, false, L"", 0, SkinKind::comboBox},
      {L"ComboBox", child | CBS_SIMPLE, false, L"", 0, SkinKind::none},
      {L"ComboLBox", WS_POPUP | WS_BORDER, false, L"ComboBox", child | CBS_DROPDOWN, SkinKind::comboList},
      {L"ComboLBox", child | WS_BORDER, false, L"ComboBox", child | CBS_SIMPLE, SkinKind::none},
      {L"msctls_updown32", child, false, L"", 0, SkinKind::upDown},
      {L"ScrollBar", child, false, L"", 0, SkinKind::none},
      {L"SysMonthCal32", child, false, L"", 0, SkinKind::none},
      {L"SysTabControl32", child, false, L"", 0, SkinKind::none},
      {L"msctls_progress32", child, false, L"", 0, SkinKind::none},
      {L"msctls_trackbar32", child, false, L"", 0, SkinKind::none},
  }};
  for (const Row& row : rows) {
    skin::WindowTraits traits;
    traits.className = row.className;
    traits.style = row.style;
    traits.hasText = row.hasText;
    traits.parentClassName = row.parentClass;
    traits.parentStyle = row.parentStyle;
    EXPECT_EQ(skin::ClassifyTraits(traits), row.expected)
        << std::string(traits.className.begin(), traits.className.end()) << " style " << std::hex << row.style;
  }
}

TEST(SkinSchemeTest, AnswersOneForTheThreeSchemesAndSwitchesOffOtherwise) {
  for (const int scheme : {1, 2, 3}) {
    EXPECT_EQ(SetSkinScheme(scheme), 1);
    EXPECT_EQ(skin::ActiveScheme(), scheme);
  }
  for (const int other : {0, 4, -1, 100}) {
    SetSkinScheme(2);
    EXPECT_EQ(SetSkinScheme(other), 0) << other;
    EXPECT_EQ(skin::ActiveScheme(), 0) << other;
  }
}

TEST(SkinColorsTest, DisabledFrameIsTheButtonFaceDarkenedBy32) {
  EXPECT_EQ(skin::DisabledFrameColor(), test::ButtonFaceDarkenedBy32());
  EXPECT_EQ(skin::Darken(RGB(20, 40, 255), 32), RGB(0, 8, 223));
}

// A visible top-level window of the test's own class, the parent of the
// controls a test makes.
class SkinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = L"BrimletSkinTestParent";
    RegisterClassExW(&windowClass);
    parent_ = CreateWindowExW(0, L"BrimletSkinTestParent", L"skin", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 500,
                              400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    test::PumpMessages();
  }

  void SetUp() override {
    SetSkinScheme(0);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    SetSkinScheme(0);
    while (HWND child = GetWindow(parent_, GW_CHILD)) {
      DestroyWindow(child);
    }
    test::PumpMessages();
    EXPECT_EQ(skin::RestyledWindowCount(), 0U);
  }


  HWND Make(const wchar_t* className, DWORD style, const wchar_t* text = L"", int width = 120, int height = 30,
            DWORD exStyle = 0, HWND parent = nullptr) {
    HWND window = CreateWindowExW(exStyle, className, text, style, 20, 20, width, height,
                                  parent != nullptr ? parent : parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window, nullptr) << "could not make a window";
    return window;
  }

  static LONG_PTR ProcedureOf(HWND window) { return GetWindowLongPtrW(window, GWLP_WNDPROC); }
  static LONG_PTR ClassProcedureOf(HWND window) { return static_cast<LONG_PTR>(GetClassLongPtrW(window, GCLP_WNDPROC)); }

  static HWND parent_;
};

HWND SkinTest::parent_ = nullptr;

constexpr DWORD kVisibleChild = WS_CHILD | WS_VISIBLE;

TEST_F(SkinTest, PushButtonBorderHasTheSchemeColourAndTheDisabledColour) {
  for (const SchemeRow& row : kSchemeRows) {
    SCOPED_TRACE(row.scheme);
    ASSERT_EQ(SetSkinScheme(row.scheme), 1);
    HWND button = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"OK", 96, 40);
    EXPECT_TRUE(IsRestyled(button));
    Capture capture = test::PrintClientArea(button);
    EXPECT_EQ(capture.At(48, 0), row.buttonBorder);
    EXPECT_EQ(capture.At(48, 39), row.buttonBorder);
    EXPECT_EQ(capture.At(0, 20), row.buttonBorder);
    EXPECT_EQ(capture.At(95, 20), row.buttonBorder);
    // The face is a vertical gradient: lighter at the top than at the bottom.
    const COLORREF top = capture.At(48, 4);
    const COLORREF bottom = capture.At(48, 35);
    EXPECT_GT(GetRValue(top) + GetGValue(top) + GetBValue(top),
              GetRValue(bottom) + GetGValue(bottom) + GetBValue(bottom));

    EnableWindow(button, FALSE);
    capture = test::PrintClientArea(button);
    EXPECT_EQ(capture.At(48, 0), test::ButtonFaceDarkenedBy32());
    EXPECT_EQ(capture.At(0, 20), test::ButtonFaceDarkenedBy32());
    DestroyWindow(button);
  }
}

TEST_F(SkinTest, PushedAndHotButtonsLookDifferentFromNormal) {
  ASSERT_EQ(SetSkinScheme(2), 1);
  HWND button = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"", 96, 40);
  const Capture normal = test::PrintClientArea(button);
  SendMessageW(button, BM_SETSTATE, TRUE, 0);
  const Capture pushed = test::PrintClientArea(button);
  SendMessageW(button, BM_SETSTATE, FALSE, 0);
  EXPECT_NE(normal.At(48, 5), pushed.At(48, 5));
  EXPECT_EQ(pushed.At(48, 0), RGB(55, 98, 6));
  SetFocus(button);
  const Capture focused = test::PrintClientArea(button);
  EXPECT_NE(normal.At(1, 20), focused.At(1, 20));  // the focus ring
}

TEST_F(SkinTest, FramedControlsHaveTheSchemeFrameAndTheDisabledColour) {
  for (const SchemeRow& row : kSchemeRows) {
    SCOPED_TRACE(row.scheme);
    ASSERT_EQ(SetSkinScheme(row.scheme), 1);
    HWND edit = Make(L"Edit", kVisibleChild, L"text", 120, 24, WS_EX_CLIENTEDGE);
    HWND bordered = Make(L"Edit", kVisibleChild | WS_BORDER, L"text", 120, 24);
    HWND combo = Make(L"ComboBox", kVisibleChild | CBS_DROPDOWNLIST, L"", 120, 200);
    HWND upDown = Make(UPDOWN_CLASSW, kVisibleChild, L"", 18, 24);
    const std::array<HWND, 4> framed = {edit, bordered, combo, upDown};
    for (std::size_t i = 0; i < framed.size(); ++i) {
      HWND window = framed[i];
      SCOPED_TRACE(i);
      EXPECT_TRUE(IsRestyled(window));
      const Capture capture = test::PrintWholeWindow(window);
      EXPECT_EQ(capture.At(capture.width / 2, 0), row.frame);
      EXPECT_EQ(capture.At(0, capture.height / 2), row.frame);
      EXPECT_EQ(capture.At(capture.width - 1, capture.height / 2), row.frame);
      EnableWindow(window, FALSE);
      const Capture disabled = test::PrintWholeWindow(window);
      EXPECT_EQ(disabled.At(disabled.width / 2, 0), test::ButtonFaceDarkenedBy32());
    }
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    EXPECT_TRUE(IsRestyled(info.hwndList));  // its drop-down list
    for (HWND window : {edit, bordered, combo, upDown}) {
      DestroyWindow(window);
    }
  }
}

TEST_F(SkinTest, CheckBoxesRadioButtonsAndGroupBoxesAreDrawn) {
  ASSERT_EQ(SetSkinScheme(1), 1);
  const skin::SchemeColors& colors = *skin::SchemeColorsOf(1);
  HWND check = Make(L"Button", kVisibleChild | BS_AUTOCHECKBOX, L"Check", 120, 21);
  HWND radio = Make(L"Button", kVisibleChild | BS_AUTORADIOBUTTON, L"Radio", 120, 21);
  HWND group = Make(L"Button", kVisibleChild | BS_GROUPBOX, L"Group", 200, 100);
  for (HWND window : {check, radio, group}) {
    EXPECT_TRUE(IsRestyled(window));
  }
  // The check box: a 13-pixel square, left, vertically centred (top row 4).
  auto countMark = [&colors](const Capture& capture) {
    int marks = 0;
    for (int y = 0; y < capture.height; ++y) {
      for (int x = 0; x < 13; ++x) {
        marks += capture.At(x, y) == colors.mark ? 1 : 0;
      }
    }
    return marks;
  };
  Capture unchecked = test::PrintClientArea(check);
  EXPECT_EQ(unchecked.At(6, 4), colors.boxBorder);
  EXPECT_EQ(unchecked.At(0, 10), colors.boxBorder);
  EXPECT_EQ(countMark(unchecked), 0);
  SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
  const Capture checked = test::PrintClientArea(check);
  EXPECT_GT(countMark(checked), 10);
  // Its caption is drawn right of the box.
  bool captionInk = false;
  for (int x = 17; x < 60; ++x) {
    captionInk = captionInk || checked.At(x, 10) != checked.At(119, 10);
  }
  EXPECT_TRUE(captionInk);

  const Capture radioOff = test::PrintClientArea(radio);
  EXPECT_EQ(countMark(radioOff), 0);
  SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
  const Capture radioOn = test::PrintClientArea(radio);
  EXPECT_GT(countMark(radioOn), 4);
  EXPECT_EQ(radioOn.At(6, 4), colors.boxBorder);  // top of the circle

  const Capture frame = test::PrintClientArea(group);
  bool frameFound = false;
  for (int y = 0; y < 12; ++y) {
    frameFound = frameFound || frame.At(150, y) == colors.groupFrame;
  }
  EXPECT_TRUE(frameFound);
  EXPECT_EQ(frame.At(100, 99), colors.groupFrame);  // bottom edge
}

TEST_F(SkinTest, RestylesExistingWindowsAtSwitchOnAndLaterOnesAtCreation) {
  HWND panel = Make(L"Static", kVisibleChild, L"", 300, 200);
  HWND nested = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"Nested", 80, 24, 0, panel);
  HWND early = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"Early", 80, 24);
  const LONG_PTR nestedProc = ProcedureOf(nested);
  EXPECT_EQ(nestedProc, ClassProcedureOf(nested));
  EXPECT_FALSE(IsRestyled(early));

  ASSERT_EQ(SetSkinScheme(2), 1);
  EXPECT_TRUE(IsRestyled(early));
  EXPECT_TRUE(IsRestyled(nested));
  EXPECT_FALSE(IsRestyled(panel));
  EXPECT_NE(ProcedureOf(nested), nestedProc);

  HWND later = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"Later", 80, 24);
  HWND laterEdit = Make(L"Edit", kVisibleChild | WS_BORDER, L"", 80, 24);
  EXPECT_TRUE(IsRestyled(later));
  EXPECT_TRUE(IsRestyled(laterEdit));
  EXPECT_EQ(test::PrintClientArea(later).At(40, 0), RGB(55, 98, 6));
  // A top-level window of the thread made later is restyled as well.
  HWND topLevel = CreateWindowExW(0, L"Button", L"Top", WS_POPUP | BS_PUSHBUTTON, 0, 0, 50, 20, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
  EXPECT_TRUE(IsRestyled(topLevel));
  DestroyWindow(topLevel);
}

TEST_F(SkinTest, LeavesTheExclusionsAlone) {
  ASSERT_EQ(SetSkinScheme(2), 1);
  struct Row {
    const wchar_t* className;
    DWORD style;
    const wchar_t* text;
  };
  const std::array<Row, 13> rows = {{
      {L"Button", kVisibleChild | BS_OWNERDRAW, L"Owner"},
      {L"Button", kVisibleChild | BS_PUSHBUTTON | BS_BITMAP, L""},
      {L"Button", kVisibleChild | BS_PUSHBUTTON | BS_ICON, L""},
      {L"Button", WS_CHILD | WS_TABSTOP, L""},
      {L"ComboBox", kVisibleChild | CBS_SIMPLE, L""},
      {L"ScrollBar", kVisibleChild | SBS_HORZ, L""},
      {L"msctls_progress32", kVisibleChild, L""},
      {L"msctls_trackbar32", kVisibleChild, L""},
      {L"SysTabControl32", kVisibleChild, L""},
      {L"SysMonthCal32", kVisibleChild, L""},
      {L"Static", kVisibleChild, L"Text"},
      {L"ListBox", kVisibleChild | WS_BORDER, L""},
      {L"Button", kVisibleChild | BS_USERBUTTON, L"User"},
  }};
  const std::size_t before = skin::RestyledWindowCount();
  for (const Row& row : rows) {
    HWND window = Make(row.className, row.style, row.text, 150, 80);
    if (window == nullptr) {
      continue;
    }
    const std::wstring name = row.className;
    EXPECT_FALSE(IsRestyled(window)) << std::string(name.begin(), name.end());
    EXPECT_EQ(ProcedureOf(window), ClassProcedureOf(window)) << std::string(name.begin(), name.end());
    if (lstrcmpiW(row.className, L"ComboBox") == 0) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      ASSERT_TRUE(GetComboBoxInfo(window, &info));
      EXPECT_FALSE(IsRestyled(info.hwndList));  // the list of a simple combo box
    }
    DestroyWindow(window);
  }
  // The field edits of an IP address control keep the control's own
  // procedure, the one they have when the skin is off.
  SetSkinScheme(0);
  HWND plainAddress = Make(WC_IPADDRESSW, kVisibleChild, L"", 150, 24);
  HWND plainField = GetWindow(plainAddress, GW_CHILD);
  ASSERT_NE(plainField, nullptr);
  const LONG_PTR fieldProc = ProcedureOf(plainField);
  ASSERT_EQ(SetSkinScheme(2), 1);
  EXPECT_EQ(ProcedureOf(plainField), fieldProc);
  HWND address = Make(WC_IPADDRESSW, kVisibleChild, L"", 150, 24);
  int fields = 0;
  for (HWND field = GetWindow(address, GW_CHILD); field != nullptr; field = GetWindow(field, GW_HWNDNEXT)) {
    EXPECT_FALSE(IsRestyled(field));
    EXPECT_EQ(ProcedureOf(field), fieldProc);
    ++fields;
  }
  EXPECT_EQ(fields, 4);
  EXPECT_EQ(skin::RestyledWindowCount(), before);
}

TEST_F(SkinTest, SwitchingOffRestoresEveryWindowAndUnhooks) {
  std::vector<HWND> windows = {
      Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"Push"),
      Make(L"Button", kVisibleChild | BS_AUTOCHECKBOX, L"Check"),
      Make(L"Button", kVisibleChild | BS_GROUPBOX, L"Group"),
      Make(L"Edit", kVisibleChild | WS_BORDER, L""),
      Make(L"ComboBox", kVisibleChild | CBS_DROPDOWN, L"", 120, 200),
      Make(UPDOWN_CLASSW, kVisibleChild, L"", 18, 24),
  };
  std::vector<LONG_PTR> procedures;
  for (HWND window : windows) {
    procedures.push_back(ProcedureOf(window));
  }
  ASSERT_EQ(SetSkinScheme(3), 1);
  for (HWND window : windows) {
    EXPECT_TRUE(IsRestyled(window));
  }
  // Switching on again restyles each window once only.
  const std::size_t count = skin::RestyledWindowCount();
  ASSERT_EQ(SetSkinScheme(1), 1);
  EXPECT_EQ(skin::RestyledWindowCount(), count);

  EXPECT_EQ(SetSkinScheme(0), 0);
  EXPECT_EQ(skin::RestyledWindowCount(), 0U);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    EXPECT_FALSE(IsRestyled(windows[i]));
    EXPECT_EQ(ProcedureOf(windows[i]), procedures[i]) << i;
  }
  HWND afterOff = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"After");
  EXPECT_FALSE(IsRestyled(afterOff));
  EXPECT_EQ(ProcedureOf(afterOff), ClassProcedureOf(afterOff));
}

TEST_F(SkinTest, DestroyedWindowsLeaveNoRecord) {
  ASSERT_EQ(SetSkinScheme(2), 1);
  const std::size_t before = skin::RestyledWindowCount();
  HWND button = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"Gone");
  EXPECT_EQ(skin::RestyledWindowCount(), before + 1);
  DestroyWindow(button);
  EXPECT_EQ(skin::RestyledWindowCount(), before);
}

LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, L"BrimletTestPrevious"));
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

TEST_F(SkinTest, AProcedurePutAboveTheSkinStaysWorkingAfterSwitchOff) {
  ASSERT_EQ(SetSkinScheme(2), 1);
  HWND button = Make(L"Button", kVisibleChild | BS_PUSHBUTTON, L"Layered");
  const LONG_PTR skinned = SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForeignProc));
  SetPropW(button, L"BrimletTestPrevious", reinterpret_cast<HANDLE>(skinned));
  SetSkinScheme(0);
  EXPECT_EQ(ProcedureOf(button), reinterpret_cast<LONG_PTR>(ForeignProc));
  std::array<wchar_t, 16> text{};
  GetWindowTextW(button, text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(std::wstring(text.data()), L"Layered");
  DestroyWindow(button);
}

}  // namespace
}  // namespace brimlet::app
