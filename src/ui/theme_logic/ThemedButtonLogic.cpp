#include "ui/theme_logic/ThemedButtonLogic.h"

namespace patchpav {

ButtonDrawingState ChooseDrawingState(bool enabled, bool selected, bool mouseOver, bool isDefault,
                                      bool focused) {
  if (!enabled) return kStateDisabled;
  if (selected) return kStatePressed;
  if (mouseOver) return kStateHot;
  if (isDefault || focused) return kStateDefaulted;
  return kStateNormal;
}

GlyphImageChoice ChooseGlyphImage(int glyphWidth, int numGlyphs, int state, bool enabled) {
  const int images = numGlyphs > 0 ? numGlyphs : 1;
  GlyphImageChoice choice;
  choice.imageWidth = glyphWidth / images;
  if (images > 1 || enabled) {
    int image = (state >= kStateNormal && state <= kStateDisabled) ? state : 1;
    if (image > images) image = 1;
    choice.sourceX = (image - 1) * choice.imageWidth;
  } else {
    choice.grayCopy = true;
  }
  return choice;
}

std::uint32_t GrayColor(std::uint32_t colorRef) {
  const std::uint32_t red = colorRef & 0xFF;
  const std::uint32_t green = (colorRef >> 8) & 0xFF;
  const std::uint32_t blue = (colorRef >> 16) & 0xFF;
  const std::uint32_t gray = (red + green + blue) / 3;
  return gray | (gray << 8) | (gray << 16);
}

}  // namespace patchpav
