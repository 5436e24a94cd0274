#include "framework/ButtonLayout.h"

namespace patchpav {

namespace {

void Offset(LayoutRect& rect, int dx, int dy) {
  rect.left += dx;
  rect.right += dx;
  rect.top += dy;
  rect.bottom += dy;
}

}  // namespace

GlyphCaptionPlacement LayoutGlyphAndCaption(const GlyphCaptionInput& input) {
  TButtonLayout layout = input.layout;
  if (input.biDiMode == bdRightToLeft) {
    if (layout == blGlyphLeft) {
      layout = blGlyphRight;
    } else if (layout == blGlyphRight) {
      layout = blGlyphLeft;
    }
  }
  const LayoutRect& client = input.client;
  const int clientWidth = client.right - client.left;
  const int clientHeight = client.bottom - client.top;
  const int textWidth = input.text.right - input.text.left;
  const int textHeight = input.text.bottom - input.text.top;
  const int images = input.numGlyphs > 0 ? input.numGlyphs : 1;
  const int glyphWidth = input.glyphWidth > 0 ? input.glyphWidth / images : 0;
  const int glyphHeight = input.glyphWidth > 0 ? input.glyphHeight : 0;
  int margin = input.margin;
  int spacing = input.spacing;

  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  LayoutPoint glyph;
  LayoutPoint text;
  if (horizontal) {
    glyph.y = (clientHeight - glyphHeight) / 2;
    text.y = (clientHeight - textHeight) / 2;
  } else {
    glyph.x = (clientWidth - glyphWidth) / 2;
    text.x = (clientWidth - textWidth) / 2;
  }

  // The glyph's width decides even for a glyph above or below the caption.
  if (textWidth == 0 || glyphWidth == 0) spacing = 0;

  const int available = horizontal ? clientWidth : clientHeight;
  const int glyphSize = horizontal ? glyphWidth : glyphHeight;
  const int textSize = horizontal ? textWidth : textHeight;
  if (margin < 0 && spacing < 0) {
    margin = (available - (textSize + glyphSize)) / 3;
    spacing = margin;
  } else if (margin < 0) {
    margin = (available - (textSize + glyphSize + spacing)) / 2;
  } else if (spacing < 0) {
    spacing = (available - glyphSize - margin - textSize) / 2;
  }

  switch (layout) {
    case blGlyphLeft:
      glyph.x = margin;
      text.x = margin + glyphWidth + spacing;
      break;
    case blGlyphRight:
      glyph.x = clientWidth - margin - glyphWidth;
      text.x = glyph.x - spacing - textWidth;
      break;
    case blGlyphTop:
      glyph.y = margin;
      text.y = margin + glyphHeight + spacing;
      break;
    case blGlyphBottom:
      glyph.y = clientHeight - margin - glyphHeight;
      text.y = glyph.y - spacing - textHeight;
      break;
  }

  GlyphCaptionPlacement placement;
  placement.glyph = {glyph.x + client.left, glyph.y + client.top};
  placement.text = input.text;
  Offset(placement.text, text.x, text.y);
  return placement;
}

}  // namespace patchpav
