#pragma once

namespace patchpav {

// Where a bitmap push button puts its glyph and its caption, free of Win32 so that it is tested
// on every platform. The classic and the styled drawing share it.

enum TButtonLayout { blGlyphLeft = 0, blGlyphRight = 1, blGlyphTop = 2, blGlyphBottom = 3 };
enum TBiDiMode {
  bdLeftToRight = 0,
  bdRightToLeft = 1,
  bdRightToLeftNoAlign = 2,
  bdRightToLeftReadingOnly = 3
};

struct LayoutRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const LayoutRect&) const = default;
};

struct LayoutPoint {
  int x = 0;
  int y = 0;
  bool operator==(const LayoutPoint&) const = default;
};

struct GlyphCaptionInput {
  LayoutRect client;   // the item rectangle
  LayoutRect text;     // the caption as measured
  int glyphWidth = 0;  // of the whole strip; 0 for no glyph
  int glyphHeight = 0;
  int numGlyphs = 1;
  TButtonLayout layout = blGlyphLeft;
  TBiDiMode biDiMode = bdLeftToRight;
  int margin = -1;
  int spacing = 4;
};

struct GlyphCaptionPlacement {
  LayoutPoint glyph;
  LayoutRect text;
  bool operator==(const GlyphCaptionPlacement&) const = default;
};

// Places glyph and caption inside the item rectangle. A negative margin or spacing is worked
// out so that the free space is shared evenly; divisions truncate toward zero, so a caption
// wider than the button gets a negative margin rather than one rounded away from the edge.
GlyphCaptionPlacement LayoutGlyphAndCaption(const GlyphCaptionInput& input);

}  // namespace patchpav
