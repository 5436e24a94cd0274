#pragma once

#include <windows.h>

#include "framework/Handles.h"

namespace patchpav {

// A bitmap of the executable's resources. Pixels of the transparent colour (by convention the
// colour of the bottom-left pixel) let the background show through when drawn transparently.
class TPicture {
 public:
  TPicture() = default;
  // An unknown resource id leaves the picture empty rather than failing: a missing decoration
  // must not stop the tool.
  explicit TPicture(int resourceId);

  bool Empty() const { return !bitmap_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  COLORREF TransparentColor() const { return transparentColor_; }

  void Draw(HDC dc, int x, int y, bool transparent) const;

 private:
  GdiObject bitmap_;
  int width_ = 0;
  int height_ = 0;
  COLORREF transparentColor_ = 0;
};

}  // namespace patchpav
