#include "framework/ButtonLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace patchpav {
namespace {

struct LayoutCase {
  std::string name;
  GlyphCaptionInput input;
  GlyphCaptionPlacement expected;
};

constexpr LayoutRect kButton{0, 0, 97, 33};
constexpr LayoutRect kCaption{0, 0, 40, 13};

GlyphCaptionInput Input(LayoutRect client, LayoutRect text, int glyphWidth, int glyphHeight,
                        TButtonLayout layout, int margin, int spacing,
                        TBiDiMode biDi = bdLeftToRight, int numGlyphs = 1) {
  return {.client = client,
          .text = text,
          .glyphWidth = glyphWidth,
          .glyphHeight = glyphHeight,
          .numGlyphs = numGlyphs,
          .layout = layout,
          .biDiMode = biDi,
          .margin = margin,
          .spacing = spacing};
}

TEST(LayoutGlyphAndCaption, PlacesGlyphAndCaption) {
  const std::vector<LayoutCase> cases = {
      {"no glyph: the caption is centred both ways and the spacing ignored",
       Input(kButton, kCaption, 0, 0, blGlyphLeft, -1, 4),
       {{28, 16}, {28, 10, 68, 23}}},
      {"empty caption: the glyph alone is centred by the automatic margin",
       Input(kButton, {0, 0, 0, 0}, 16, 16, blGlyphLeft, -1, 4),
       {{40, 8}, {56, 16, 56, 16}}},
      {"margin and spacing automatic share the free width in three",
       Input({0, 0, 100, 33}, kCaption, 18, 16, blGlyphLeft, -1, -1),
       {{14, 8}, {46, 10, 86, 23}}},
      {"margin 5, spacing automatic, glyph on top: caption centred in the space below",
       Input({0, 0, 97, 60}, kCaption, 16, 16, blGlyphTop, 5, -1),
       {{40, 5}, {28, 34, 68, 47}}},
      {"glyph below with fixed margin and spacing",
       Input({0, 0, 97, 60}, kCaption, 16, 16, blGlyphBottom, 2, 3),
       {{40, 42}, {28, 26, 68, 39}}},
      {"glyph right with fixed margin",
       Input(kButton, kCaption, 16, 16, blGlyphRight, 6, 4),
       {{75, 8}, {31, 10, 71, 23}}},
      {"right to left moves a left glyph to the right",
       Input(kButton, kCaption, 16, 16, blGlyphLeft, -1, 4, bdRightToLeft),
       {{63, 8}, {19, 10, 59, 23}}},
      {"right to left moves a right glyph to the left",
       Input(kButton, kCaption, 16, 16, blGlyphRight, -1, 4, bdRightToLeft),
       {{18, 8}, {38, 10, 78, 23}}},
      {"right to left without alignment keeps the glyph on the left",
       Input(kButton, kCaption, 16, 16, blGlyphLeft, -1, 4, bdRightToLeftNoAlign),
       {{18, 8}, {38, 10, 78, 23}}},
      {"right to left reading only keeps the glyph on the left",
       Input(kButton, kCaption, 16, 16, blGlyphLeft, -1, 4, bdRightToLeftReadingOnly),
       {{18, 8}, {38, 10, 78, 23}}},
      {"a strip of two images is one image wide",
       Input(kButton, kCaption, 32, 16, blGlyphLeft, 4, 4, bdLeftToRight, 2),
       {{4, 8}, {24, 10, 64, 23}}},
      {"a caption wider than the button: -11 div 2 is -5 and -3 div 2 is -1 (toward zero)",
       Input({0, 0, 30, 10}, {0, 0, 41, 13}, 0, 0, blGlyphLeft, -1, 4),
       {{-5, 5}, {-5, -1, 36, 12}}},
      {"automatic margin and spacing of an overfull button: -5 div 3 is -1",
       Input({0, 0, 41, 33}, {0, 0, 30, 13}, 16, 16, blGlyphLeft, -1, -1),
       {{-1, 8}, {14, 10, 44, 23}}},
      {"automatic spacing of an overfull column: -7 div 2 is -3",
       Input({0, 0, 50, 27}, {0, 0, 20, 13}, 16, 16, blGlyphTop, 5, -1),
       {{17, 5}, {15, 18, 35, 31}}},
      {"the glyph follows the item rectangle's corner, the caption does not",
       Input({10, 20, 107, 53}, kCaption, 16, 16, blGlyphLeft, -1, 4),
       {{28, 28}, {38, 10, 78, 23}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    GlyphCaptionPlacement placed = LayoutGlyphAndCaption(c.input);
    EXPECT_EQ(placed.glyph.x, c.expected.glyph.x);
    EXPECT_EQ(placed.glyph.y, c.expected.glyph.y);
    EXPECT_EQ(placed.text, c.expected.text) << placed.text.left << "," << placed.text.top << ","
                                            << placed.text.right << "," << placed.text.bottom;
  }
}

}  // namespace
}  // namespace patchpav
