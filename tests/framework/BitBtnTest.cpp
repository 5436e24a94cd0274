#include "framework/BitBtn.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "framework/Form.h"

namespace patchpav {
namespace {

class BitBtnTest : public ::testing::Test {
 protected:
  TForm form{nullptr, TFormParams{.ClientWidth = 200, .ClientHeight = 60}};
  TBitBtn& button = form.CreateComponent<TBitBtn>(
      &form, TControlParams{.Left = 8, .Top = 8, .Width = 97, .Height = 33, .Caption = "&OK"});

  // A draw request as the system button makes it, into a picture of the button's size.
  TBitmap Draw(UINT itemState) {
    TBitmap picture(97, 33);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = itemState;
    item.hwndItem = button.Handle();
    item.hDC = picture.Canvas();
    item.rcItem = {0, 0, 97, 33};
    SendMessageW(form.Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    return picture;
  }
};

TEST_F(BitBtnTest, IsAnOwnerDrawnSystemButtonWithItsDefaults) {
  wchar_t name[16] = {};
  GetClassNameW(button.Handle(), name, 16);
  EXPECT_EQ(lstrcmpiW(name, L"Button"), 0);
  EXPECT_EQ(GetWindowLongW(button.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(button.Caption(), "&OK");
  EXPECT_EQ(button.NumGlyphs(), 1);
  EXPECT_EQ(button.Margin(), -1);
  EXPECT_EQ(button.Spacing(), 4);
  EXPECT_EQ(button.Layout(), blGlyphLeft);
  EXPECT_EQ(button.Style(), TButtonStyle::bsAutoDetect);
  EXPECT_EQ(button.Kind(), TBitBtnKind::bkCustom);
  EXPECT_FALSE(button.DoubleBuffered());
  EXPECT_TRUE(button.Glyph().Empty());
}

TEST_F(BitBtnTest, RefusesAGlyphCountOutsideOneToFour) {
  for (int count : {0, 5, -1}) EXPECT_THROW(button.SetNumGlyphs(count), std::invalid_argument);
  button.SetNumGlyphs(4);
  EXPECT_EQ(button.NumGlyphs(), 4);
}

TEST_F(BitBtnTest, AClickReachesOnClickAndSetsTheFormsModalResult) {
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  button.SetModalResult(mrOk);
  SendMessageW(button.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form.ModalResult(), mrOk);
}

TEST_F(BitBtnTest, DrawsRaisedPressedAndFocusedFacesClassically) {
  TBitmap up = Draw(0);
  TBitmap pressed = Draw(ODS_SELECTED);
  TBitmap focused = Draw(ODS_FOCUS);
  // Raised: light top-left edge; pressed: the shadow outline instead.
  EXPECT_EQ(up.Pixel(0, 10), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(pressed.Pixel(0, 10), GetSysColor(COLOR_BTNSHADOW));
  // The focus bit puts the window-frame line around the whole button.
  EXPECT_EQ(focused.Pixel(0, 10), GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(focused.Pixel(96, 32), GetSysColor(COLOR_WINDOWFRAME));
}

}  // namespace
}  // namespace patchpav
