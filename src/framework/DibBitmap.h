#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/Handles.h"

namespace patchpav {

// A 32-bit top-down DIB section for the device context, with its pixels at *bits; the caller owns
// the bitmap. A failure is an error.
HBITMAP CreateTopDownDib(HDC dc, int width, int height, std::uint32_t** bits);

// An off-screen 32-bit picture with a device context to draw into it and direct access to its
// pixels (top-down rows), so that what a control paints can be composed first and read back.
class DibBitmap {
 public:
  DibBitmap(int width, int height);

  HDC Dc() const { return dc_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The pixel as a COLORREF (0x00BBGGRR). GdiFlush first: GDI may still be drawing.
  COLORREF Pixel(int x, int y) const;

 private:
  int width_;
  int height_;
  std::uint32_t* bits_ = nullptr;
  MemoryDc dc_;
  GdiObject bitmap_;
  std::unique_ptr<SelectionUndo> selection_;  // destroyed first: the bitmap leaves the DC
};

}  // namespace patchpav
