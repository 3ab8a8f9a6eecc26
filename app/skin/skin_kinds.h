// Which windows the skin restyles, by window class and style.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace brimlet::app::skin {

enum class SkinKind : std::uint8_t {
  none,  // not restyled
  pushButton,
  checkBox,
  radioButton,
  groupBox,
  edit,
  comboBox,
  comboList,
  upDown,
};

inline constexpr int kSkinKindCount = 9;

// What the decision needs to know of a window.
struct WindowTraits {
  std::wstring className;
  DWORD style = 0;
  bool hasText = false;
  // The parent (for a drop-down list: its combo box).
  std::wstring parentClassName;
  DWORD parentStyle = 0;
};

SkinKind ClassifyTraits(const WindowTraits& traits);
WindowTraits TraitsOf(HWND window);
inline SkinKind ClassifyWindow(HWND window) { return ClassifyTraits(TraitsOf(window)); }

// True for the kinds whose whole client area the skin draws.
bool SkinDrawsClient(SkinKind kind);

}  // namespace brimlet::app::skin
