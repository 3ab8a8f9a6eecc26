#include "skin/skin_kinds.h"

#include <array>

namespace brimlet::app::skin {
namespace {

bool SameClass(const std::wstring& className, const wchar_t* expected) {
  return lstrcmpiW(className.c_str(), expected) == 0;
}

// The kind of a "Button" by its type (the low four style bits). A check box
// or radio button with BS_PUSHLIKE is drawn as a push button.
struct ButtonTypeRow {
  SkinKind kind;
  bool pushLikeAllowed;
};
constexpr std::array<ButtonTypeRow, 16> kButtonTypes = {{
    {SkinKind::pushButton, false},   // BS_PUSHBUTTON
    {SkinKind::pushButton, false},   // BS_DEFPUSHBUTTON
    {SkinKind::checkBox, true},      // BS_CHECKBOX
    {SkinKind::checkBox, true},      // BS_AUTOCHECKBOX
    {SkinKind::radioButton, true},   // BS_RADIOBUTTON
    {SkinKind::checkBox, true},      // BS_3STATE
    {SkinKind::checkBox, true},      // BS_AUTO3STATE
    {SkinKind::groupBox, false},     // BS_GROUPBOX
    {SkinKind::none, false},         // BS_USERBUTTON
    {SkinKind::radioButton, true},   // BS_AUTORADIOBUTTON
    {SkinKind::none, false},         // BS_PUSHBOX
    {SkinKind::none, false},         // BS_OWNERDRAW
    {SkinKind::none, false},         // split buttons and command links
    {SkinKind::none, false},
    {SkinKind::none, false},
    {SkinKind::none, false},
}};

SkinKind ClassifyButton(const WindowTraits& traits) {
  if ((traits.style & (BS_BITMAP | BS_ICON)) != 0) {
    return SkinKind::none;  // picture buttons
  }
  if (!traits.hasText && traits.style == (WS_CHILD | WS_TABSTOP)) {
    return SkinKind::none;
  }
  const ButtonTypeRow& row = kButtonTypes[traits.style & BS_TYPEMASK];
  if (row.pushLikeAllowed && (traits.style & BS_PUSHLIKE) != 0) {
    return SkinKind::pushButton;
  }
  return row.kind;
}

std::wstring ClassNameOf(HWND window) {
  std::array<wchar_t, 256> name{};
  const int length = window != nullptr ? GetClassNameW(window, name.data(), static_cast<int>(name.size())) : 0;
  return std::wstring(name.data(), length > 0 ? static_cast<std::size_t>(length) : 0U);
}

}  // namespace

SkinKind ClassifyTraits(const WindowTraits& traits) {
  const std::wstring& name = traits.className;
  if (SameClass(name, L"Button")) {
    return ClassifyButton(traits);
  }
  if (SameClass(name, L"Edit")) {
    return SameClass(traits.parentClassName, L"SysIPAddress32") ? SkinKind::none : SkinKind::edit;
  }
  if (SameClass(name, L"ComboBox")) {
    return (traits.style & 3U) == CBS_SIMPLE ? SkinKind::none : SkinKind::comboBox;
  }
  if (SameClass(name, L"ComboLBox")) {
    const bool ofSimpleCombo =
        SameClass(traits.parentClassName, L"ComboBox") && (traits.parentStyle & 3U) == CBS_SIMPLE;
    return ofSimpleCombo ? SkinKind::none : SkinKind::comboList;
  }
  if (SameClass(name, L"msctls_updown32")) {
    return SkinKind::upDown;
  }
  // "ScrollBar", "SysMonthCal32", "SysTabControl32", "msctls_progress32",
  // "msctls_trackbar32" and every other class are left as they are.
  return SkinKind::none;
}

WindowTraits TraitsOf(HWND window) {
  WindowTraits traits;
  traits.className = ClassNameOf(window);
  traits.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  traits.hasText = GetWindowTextLengthW(window) > 0;
  // GetParent gives the owner of a pop-up, which is the combo box of a list.
  HWND parent = GetParent(window);
  if (parent != nullptr) {
    traits.parentClassName = ClassNameOf(parent);
    traits.parentStyle = static_cast<DWORD>(GetWindowLongPtrW(parent, GWL_STYLE));
  }
  return traits;
}

bool SkinDrawsClient(SkinKind kind) {
  switch (kind) {
    case SkinKind::pushButton:
    case SkinKind::checkBox:
    case SkinKind::radioButton:
    case SkinKind::groupBox:
      return true;
    default:
      return false;
  }
}

}  // namespace brimlet::app::skin
