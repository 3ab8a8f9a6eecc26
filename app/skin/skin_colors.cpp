#include "skin/skin_colors.h"

#include <array>

namespace brimlet::app::skin {
namespace {

constexpr GradientPair kHotRing{RGB(255, 240, 207), RGB(229, 151, 0)};
constexpr GradientPair kDisabledFace{RGB(245, 244, 234), RGB(245, 244, 234)};

const std::array<SchemeColors, 3> kSchemes = {{
    // 1: blue
    {RGB(123, 158, 189), RGB(0, 60, 115), {RGB(255, 255, 255), RGB(226, 223, 214)},
     {RGB(209, 204, 193), RGB(244, 243, 238)}, kDisabledFace, kHotRing,
     {RGB(206, 231, 255), RGB(105, 130, 238)}, RGB(28, 81, 128), {RGB(220, 220, 215), RGB(255, 255, 255)},
     {RGB(255, 240, 207), RGB(248, 179, 48)}, RGB(33, 161, 33), RGB(208, 208, 191), RGB(0, 70, 213),
     RGB(77, 97, 133)},
    // 2: olive green
    {RGB(164, 185, 127), RGB(55, 98, 6), {RGB(255, 255, 246), RGB(226, 223, 201)},
     {RGB(213, 209, 183), RGB(244, 242, 232)}, kDisabledFace, kHotRing,
     {RGB(211, 226, 170), RGB(143, 175, 84)}, RGB(55, 98, 6), {RGB(222, 223, 205), RGB(255, 255, 250)},
     {RGB(255, 240, 207), RGB(248, 179, 48)}, RGB(86, 138, 28), RGB(208, 208, 191), RGB(53, 95, 12),
     RGB(96, 116, 56)},
    // 3: silver
    {RGB(198, 197, 215), RGB(0, 60, 116), {RGB(255, 255, 255), RGB(214, 213, 224)},
     {RGB(204, 203, 214), RGB(241, 241, 245)}, kDisabledFace, kHotRing,
     {RGB(228, 228, 238), RGB(154, 153, 179)}, RGB(118, 116, 146), {RGB(215, 214, 224), RGB(255, 255, 255)},
     {RGB(255, 240, 207), RGB(248, 179, 48)}, RGB(64, 64, 96), RGB(208, 208, 216), RGB(0, 70, 213),
     RGB(78, 78, 102)},
}};

int Lowered(int channel, int amount) { return channel > amount ? channel - amount : 0; }

}  // namespace

const SchemeColors* SchemeColorsOf(int scheme) {
  if (scheme < 1 || scheme > static_cast<int>(kSchemes.size())) {
    return nullptr;
  }
  return &kSchemes[static_cast<std::size_t>(scheme - 1)];
}

COLORREF Darken(COLORREF color, int amount) {
  return RGB(Lowered(GetRValue(color), amount), Lowered(GetGValue(color), amount),
             Lowered(GetBValue(color), amount));
}

COLORREF DisabledFrameColor() { return Darken(GetSysColor(COLOR_BTNFACE), 32); }

}  // namespace brimlet::app::skin
