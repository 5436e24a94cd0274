#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/Handles.h"

namespace patchpav {

// A picture held as a 32-bit top-down DIB section, selected into a memory device context of its
// own for drawing, with direct access to its pixels. An empty bitmap (0 x 0) has neither.
//
// Its transparent colour is the fixed one when set; otherwise white for a picture that came
// from a monochrome source, and the colour of its bottom-left pixel for any other.
class TBitmap {
 public:
  TBitmap() = default;
  // A picture of that size, black. A size of 0 in either direction gives an empty bitmap.
  TBitmap(int width, int height);
  ~TBitmap() = default;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;

  // Loads a bitmap resource of the module (a 1-bit one counts as monochrome). Throws when the
  // module has no such bitmap.
  static TBitmap FromResource(HINSTANCE module, const wchar_t* name);
  static TBitmap FromResource(HINSTANCE module, int id) {
    return FromResource(module, MAKEINTRESOURCEW(id));
  }
  // A copy of the picture, its transparency settings included.
  TBitmap Clone() const;

  bool Empty() const { return !bitmap_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  HDC Canvas() const { return dc_.Get(); }
  HBITMAP Handle() const { return static_cast<HBITMAP>(bitmap_.Get()); }

  // Colours as COLORREF (0x00BBGGRR). Reading or writing outside the picture throws.
  COLORREF Pixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF colour);

  bool Monochrome() const { return monochrome_; }
  COLORREF TransparentColor() const;
  void SetTransparentColor(COLORREF colour);
  // Back to the automatic colour (white when monochrome, else the bottom-left pixel).
  void ClearTransparentColor() { fixedTransparent_ = false; }

 private:
  std::uint32_t& At(int x, int y) const;

  int width_ = 0;
  int height_ = 0;
  std::uint32_t* bits_ = nullptr;
  bool monochrome_ = false;
  bool fixedTransparent_ = false;
  COLORREF transparent_ = 0;
  MemoryDc dc_;
  GdiObject bitmap_;
  std::unique_ptr<SelectionUndo> selection_;  // destroyed first: the bitmap leaves the DC
};

// A two-colour picture of the bitmap's size: 1 where the source has its transparent colour, 0
// elsewhere, in a memory device context of its own.
class TransparencyMask {
 public:
  explicit TransparencyMask(const TBitmap& source);
  HDC Dc() const { return dc_.Get(); }

 private:
  MemoryDc dc_;
  GdiObject bitmap_;
  std::unique_ptr<SelectionUndo> selection_;
};

// Copies width x height pixels of source from (sourceX, 0) to (x, y) of dc; the pixels that the
// mask marks (taken at the same place) leave the destination as it was.
void DrawMasked(HDC dc, int x, int y, const TBitmap& source, int sourceX, int width, int height,
                const TransparencyMask& mask);
// Paints colour through the mask: the unmarked pixels of the area become colour.
void FillThroughMask(HDC dc, int x, int y, int sourceX, int width, int height,
                     const TransparencyMask& mask, COLORREF colour);

}  // namespace patchpav
