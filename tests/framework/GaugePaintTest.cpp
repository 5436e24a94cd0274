#include "framework/Gauge.h"

#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/Form.h"

namespace patchpav {
namespace {

constexpr COLORREF kFore = RGB(166, 202, 240);
constexpr COLORREF kBack = RGB(255, 255, 255);

COLORREF Inverted(COLORREF color) {
  return RGB(255 - GetRValue(color), 255 - GetGValue(color), 255 - GetBValue(color));
}

class GaugePaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form =
        &Application().CreateComponent<TForm>(TFormParams{.ClientWidth = 200, .ClientHeight = 25});
    gauge = &form->CreateComponent<TGauge>(form, TGaugeParams{.Align = TAlign::alClient});
    gauge->SetForeColor(kFore);
    gauge->SetBackColor(kBack);
    gauge->SetBorderStyle(TGaugeBorder::bsNone);
    TFont font = gauge->Font();
    font.Color = RGB(255, 255, 255);
    gauge->SetFont(font);
  }
  void TearDown() override { Application().DestroyComponents(); }

  // Count of pixels of a colour in the picture.
  static int Count(const DibBitmap& picture, COLORREF color) {
    int count = 0;
    for (int y = 0; y < picture.Height(); ++y) {
      for (int x = 0; x < picture.Width(); ++x) count += picture.Pixel(x, y) == color;
    }
    return count;
  }

  TForm* form = nullptr;
  TGauge* gauge = nullptr;
};

TEST_F(GaugePaintTest, FilledLengthFollowsThePercentage) {
  struct Case {
    int max;
    int progress;
    int percent;
  };
  const Case cases[] = {{17, 3, 17}, {17, 17, 100}, {1, 0, 0}, {1, 1, 100}, {100, 17, 17}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.progress) + " of " + std::to_string(c.max));
    gauge->SetProgress(0);
    gauge->SetMaxValue(c.max);
    gauge->SetProgress(c.progress);
    ASSERT_EQ(gauge->PercentDone(), c.percent);
    DibBitmap picture = gauge->RenderPicture();
    ASSERT_EQ(picture.Width(), 200);
    int filled = std::min(200, 201 * c.percent / 100);
    // Row 0 lies above the text.
    if (filled > 0) {
      EXPECT_EQ(picture.Pixel(filled - 1, 0), kFore);
    }
    if (filled < 200) {
      EXPECT_EQ(picture.Pixel(filled, 0), kBack);
    }
    int foreInRow = 0;
    for (int x = 0; x < 200; ++x) foreInRow += picture.Pixel(x, 0) == kFore;
    EXPECT_EQ(foreInRow, filled);
    // The percentage is there, inverted over the picture.
    EXPECT_GT(Count(picture, Inverted(kBack)) + Count(picture, Inverted(kFore)), 0);
    int neitherColour =
        picture.Width() * picture.Height() - Count(picture, kFore) - Count(picture, kBack);
    EXPECT_GT(neitherColour, 10);
  }
}

TEST_F(GaugePaintTest, TextInvertsBothPartsOfTheBarAndCanBeHidden) {
  gauge->SetProgress(50);  // "50%" straddles the end of the bar
  DibBitmap picture = gauge->RenderPicture();
  EXPECT_GT(Count(picture, Inverted(kFore)), 0);
  EXPECT_GT(Count(picture, Inverted(kBack)), 0);
  gauge->SetShowText(false);
  DibBitmap plain = gauge->RenderPicture();
  EXPECT_EQ(Count(plain, Inverted(kFore)) + Count(plain, Inverted(kBack)), 0);
  EXPECT_EQ(Count(plain, kFore), 100 * 25);
}

TEST_F(GaugePaintTest, SingleBorderInsetsTheDrawingByOnePixel) {
  gauge->SetBorderStyle(TGaugeBorder::bsSingle);
  gauge->SetProgress(100);
  DibBitmap picture = gauge->RenderPicture();
  EXPECT_EQ(picture.Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(picture.Pixel(199, 24), RGB(0, 0, 0));
  EXPECT_EQ(picture.Pixel(1, 1), kFore);
  EXPECT_EQ(picture.Pixel(198, 1), kFore);
}

TEST_F(GaugePaintTest, RepaintsOnlyWhenThePictureChanges) {
  gauge->SetMaxValue(1000);
  int before = gauge->RepaintRequests();
  for (int row = 1; row <= 1000; ++row) gauge->SetProgress(row);
  EXPECT_EQ(gauge->RepaintRequests() - before, 100);
  before = gauge->RepaintRequests();
  gauge->SetForeColor(kFore);
  gauge->SetMaxValue(1000);
  EXPECT_EQ(gauge->RepaintRequests(), before);
  EXPECT_THROW(gauge->SetMaxValue(-5), EInvalidValue);
  EXPECT_EQ(gauge->RepaintRequests(), before);
}

}  // namespace
}  // namespace patchpav
