#pragma once

#include <windows.h>

#include "framework/Bitmap.h"

namespace patchpav {

// A bitmap of the executable's resources. Pixels of the transparent colour (by convention the
// colour of the bottom-left pixel) let the background show through when drawn transparently.
class TPicture {
 public:
  TPicture() = default;
  // An unknown resource id leaves the picture empty rather than failing: a missing decoration
  // must not stop the tool.
  explicit TPicture(int resourceId);

  bool Empty() const { return bitmap_.Empty(); }
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  COLORREF TransparentColor() const { return bitmap_.TransparentColor(); }

  void Draw(HDC dc, int x, int y, bool transparent) const;

 private:
  TBitmap bitmap_;
  // Made once, as the picture never changes.
  TransparencyMask mask_{bitmap_};
};

}  // namespace patchpav
