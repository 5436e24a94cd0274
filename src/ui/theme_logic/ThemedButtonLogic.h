#pragma once

#include <cstdint>

namespace patchpav {

// The choices of the styled push button that need no window, so that they are tested on every
// platform: which face state a drawing uses, which image of a glyph strip it shows, and the grey
// of a disabled glyph.

// The face states of the push-button part of the "Button" style class; the number also picks the
// glyph image.
enum ButtonDrawingState : int {
  kStateNormal = 1,
  kStateHot = 2,
  kStatePressed = 3,
  kStateDisabled = 4,
  kStateDefaulted = 5
};

// First match wins: disabled, pressed, hot, default or focused, normal.
ButtonDrawingState ChooseDrawingState(bool enabled, bool selected, bool mouseOver, bool isDefault,
                                      bool focused);

// The part of a glyph strip that a drawing shows.
struct GlyphImageChoice {
  bool grayCopy = false;  // the single image, greyed, because the button is disabled
  int sourceX = 0;
  int imageWidth = 0;
  bool operator==(const GlyphImageChoice&) const = default;
};

// A strip of several images is never greyed: it carries its own disabled image (the fourth),
// and a state whose image the strip lacks shows the first.
GlyphImageChoice ChooseGlyphImage(int glyphWidth, int numGlyphs, int state, bool enabled);

// The grey of a 0x00BBGGRR colour: the truncated mean of its three components.
std::uint32_t GrayColor(std::uint32_t colorRef);

}  // namespace patchpav
