#pragma once

#include <cstdint>

namespace patchpav {

// A colour as Win32 lays out a COLORREF (0x00BBGGRR), or, with the top bit set, one of the
// system's colours by index (clBtnFace follows the user's colour scheme).
using TColorValue = std::uint32_t;

constexpr TColorValue RgbColor(int r, int g, int b) {
  return static_cast<TColorValue>(r) | (static_cast<TColorValue>(g) << 8) |
         (static_cast<TColorValue>(b) << 16);
}

constexpr TColorValue kSystemColorFlag = 0x80000000u;
constexpr TColorValue clBtnFace = kSystemColorFlag | 15;    // COLOR_BTNFACE
constexpr TColorValue clBtnShadow = kSystemColorFlag | 16;  // COLOR_BTNSHADOW
constexpr TColorValue clBlack = RgbColor(0, 0, 0);
constexpr TColorValue clWhite = RgbColor(255, 255, 255);
constexpr TColorValue clBlue = RgbColor(0, 0, 255);

}  // namespace patchpav
