#include "framework/Picture.h"

#include <stdexcept>

namespace patchpav {

namespace {

TBitmap LoadPicture(int resourceId) {
  TBitmap bitmap;
  try {
    bitmap = TBitmap::FromResource(GetModuleHandleW(nullptr), resourceId);
  } catch (const std::runtime_error&) {
    return bitmap;
  }
  // The bottom-left pixel, a monochrome picture's too.
  if (!bitmap.Empty()) bitmap.SetTransparentColor(bitmap.Pixel(0, bitmap.Height() - 1));
  return bitmap;
}

}  // namespace

TPicture::TPicture(int resourceId) : bitmap_(LoadPicture(resourceId)), mask_(bitmap_) {}

void TPicture::Draw(HDC dc, int x, int y, bool transparent) const {
  if (Empty()) return;
  // Transparency through a mask and plain GDI: msimg32's TransparentBlt would be one more library
  // to load.
  if (transparent) {
    DrawMasked(dc, x, y, bitmap_, 0, Width(), Height(), mask_);
  } else {
    BitBlt(dc, x, y, Width(), Height(), bitmap_.Canvas(), 0, 0, SRCCOPY);
  }
}

}  // namespace patchpav
