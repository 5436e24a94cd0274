#include "framework/Bitmap.h"

#include <gtest/gtest.h>

#include "framework/Picture.h"

#include <stdexcept>

namespace patchpav {
namespace {

constexpr int kMonochromeBitmap = 101;  // 4 x 3, white, black at (0, 0) and (3, 2)
constexpr int kColourBitmap = 102;      // 4 x 3 of (10, 20, 30), (200, 100, 50) at (1, 1),
                                        // (1, 2, 3) at the bottom left

HINSTANCE Program() { return GetModuleHandleW(nullptr); }

TEST(TBitmap, CreatedPicturesReadBackWhatWasWritten) {
  TBitmap bitmap(5, 4);
  EXPECT_FALSE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 4);
  EXPECT_EQ(bitmap.Pixel(4, 3), RGB(0, 0, 0));
  bitmap.SetPixel(4, 3, RGB(1, 2, 3));
  EXPECT_EQ(bitmap.Pixel(4, 3), RGB(1, 2, 3));
  // What GDI draws and what the pixels say agree.
  SetPixelV(bitmap.Canvas(), 2, 1, RGB(250, 128, 7));
  EXPECT_EQ(bitmap.Pixel(2, 1), RGB(250, 128, 7));
  EXPECT_THROW(bitmap.Pixel(5, 0), std::out_of_range);
  EXPECT_THROW(bitmap.SetPixel(0, -1, 0), std::out_of_range);
  EXPECT_TRUE(TBitmap(0, 7).Empty());
  EXPECT_TRUE(TBitmap().Empty());
}

TEST(TBitmap, LoadsResourcesAndRefusesMissingOnes) {
  TBitmap colour = TBitmap::FromResource(Program(), kColourBitmap);
  EXPECT_EQ(colour.Width(), 4);
  EXPECT_EQ(colour.Height(), 3);
  EXPECT_FALSE(colour.Monochrome());
  EXPECT_EQ(colour.Pixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(colour.Pixel(1, 1), RGB(200, 100, 50));
  TBitmap mono = TBitmap::FromResource(Program(), kMonochromeBitmap);
  EXPECT_TRUE(mono.Monochrome());
  EXPECT_EQ(mono.Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(mono.Pixel(1, 0), RGB(255, 255, 255));
  EXPECT_EQ(mono.Pixel(3, 2), RGB(0, 0, 0));
  EXPECT_THROW(TBitmap::FromResource(Program(), 4242), std::runtime_error);
}

TEST(TBitmap, TransparentColourIsFixedOrWhiteOrTheBottomLeftPixel) {
  TBitmap colour = TBitmap::FromResource(Program(), kColourBitmap);
  EXPECT_EQ(colour.TransparentColor(), RGB(1, 2, 3));
  TBitmap mono = TBitmap::FromResource(Program(), kMonochromeBitmap);
  EXPECT_EQ(mono.Pixel(0, 2), RGB(255, 255, 255));
  EXPECT_EQ(mono.TransparentColor(), RGB(255, 255, 255));
  mono.SetPixel(0, 2, RGB(0, 0, 0));  // white all the same: it is monochrome
  EXPECT_EQ(mono.TransparentColor(), RGB(255, 255, 255));
  colour.SetTransparentColor(RGB(9, 9, 9));
  EXPECT_EQ(colour.TransparentColor(), RGB(9, 9, 9));
  colour.ClearTransparentColor();
  EXPECT_EQ(colour.TransparentColor(), RGB(1, 2, 3));
}

TEST(TBitmap, ClonesAndMovesOwnTheirPictures) {
  TBitmap original(2, 2);
  original.SetPixel(1, 1, RGB(7, 8, 9));
  original.SetTransparentColor(RGB(4, 5, 6));
  TBitmap copy = original.Clone();
  copy.SetPixel(1, 1, RGB(0, 0, 1));
  EXPECT_EQ(original.Pixel(1, 1), RGB(7, 8, 9));
  EXPECT_EQ(copy.TransparentColor(), RGB(4, 5, 6));
  TBitmap moved = std::move(original);
  EXPECT_TRUE(original.Empty());  // NOLINT: the moved-from picture owns nothing
  EXPECT_EQ(original.Width(), 0);
  EXPECT_EQ(moved.Pixel(1, 1), RGB(7, 8, 9));
}

TEST(TBitmap, MaskedDrawingLeavesTransparentPixelsAlone) {
  TBitmap glyph(3, 1);
  glyph.SetPixel(0, 0, RGB(255, 0, 0));
  glyph.SetPixel(1, 0, RGB(0, 0, 255));
  glyph.SetPixel(2, 0, RGB(0, 255, 0));
  glyph.SetTransparentColor(RGB(0, 0, 255));
  TBitmap target(3, 1);
  for (int x = 0; x < 3; ++x) target.SetPixel(x, 0, RGB(50, 60, 70));
  TransparencyMask mask(glyph);
  DrawMasked(target.Canvas(), 0, 0, glyph, 0, 3, 1, mask);
  EXPECT_EQ(target.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(target.Pixel(1, 0), RGB(50, 60, 70));
  EXPECT_EQ(target.Pixel(2, 0), RGB(0, 255, 0));
  FillThroughMask(target.Canvas(), 0, 0, 0, 3, 1, mask, RGB(1, 1, 1));
  EXPECT_EQ(target.Pixel(0, 0), RGB(1, 1, 1));
  EXPECT_EQ(target.Pixel(1, 0), RGB(50, 60, 70));
}

TEST(TPicture, DrawsTransparentlyWithGdiAlone) {
  const COLORREF background = RGB(50, 60, 70);
  for (bool transparent : {true, false}) {
    SCOPED_TRACE(transparent ? "transparent" : "opaque");
    TPicture picture(kColourBitmap);
    ASSERT_EQ(picture.TransparentColor(), RGB(1, 2, 3));
    TBitmap target(6, 5);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 6; ++x) target.SetPixel(x, y, background);
    }
    picture.Draw(target.Canvas(), 1, 1, transparent);
    EXPECT_EQ(target.Pixel(1, 3), transparent ? background : RGB(1, 2, 3));  // the bottom left
    EXPECT_EQ(target.Pixel(2, 2), RGB(200, 100, 50));
    EXPECT_EQ(target.Pixel(1, 1), RGB(10, 20, 30));
    EXPECT_EQ(target.Pixel(4, 3), RGB(10, 20, 30));
    EXPECT_EQ(target.Pixel(0, 0), background);  // outside the picture
    EXPECT_EQ(target.Pixel(5, 4), background);
  }
  TPicture missing(9999);
  EXPECT_TRUE(missing.Empty());
  TBitmap untouched(2, 2);
  missing.Draw(untouched.Canvas(), 0, 0, true);
  EXPECT_EQ(untouched.Pixel(0, 0), RGB(0, 0, 0));
}

}  // namespace
}  // namespace patchpav
