#include <gtest/gtest.h>

#include "framework/Animate.h"
#include "framework/Application.h"
#include "framework/Bitmap.h"
#include "framework/Button.h"
#include "framework/Handles.h"
#include "framework/Label.h"
#include "framework/Memo.h"
#include "framework/Panel.h"
#include "framework/ScrollBox.h"

namespace patchpav {
namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void TearDown() override { Application().DestroyComponents(); }
  TForm& NewForm() {
    return Application().CreateComponent<TForm>(
        TFormParams{.ClientWidth = 400, .ClientHeight = 300});
  }
};

bool forcedHighContrast = false;
bool ForcedHighContrast() { return forcedHighContrast; }

// Blue text on a white panel, a memo and a label on it, as the screen shows them: under high
// contrast neither colour may remain, everything is drawn with the system's face and text.
TEST_F(ControlsTest, HighContrastPaintsWithTheSystemsColours) {
  const HighContrastQuery previous = SetHighContrastQuery(&ForcedHighContrast);
  for (bool highContrast : {false, true}) {
    SCOPED_TRACE(highContrast ? "high contrast" : "normal");
    forcedHighContrast = highContrast;
    TForm& form = NewForm();
    TPanel& panel =
        form.CreateComponent<TPanel>(&form, TPanelParams{.Align = TAlign::alClient,
                                                         .Caption = "Base sélectionnée",
                                                         .BevelOuter = TBevelCut::bvNone});
    panel.SetColor(clWhite);
    panel.SetFont(TFont{.Height = -24, .Color = clBlue, .Bold = true});
    TLabel& label = panel.CreateComponent<TLabel>(
        &panel, TLabelParams{.Left = 8, .Top = 8, .Width = 300, .Height = 30, .Caption = "MMMMMM"});
    label.SetFont(TFont{.Height = -24, .Color = clBlue, .Bold = true});
    TMemo& memo = panel.CreateComponent<TMemo>(
        &panel, TMemoParams{.Left = 8, .Top = 200, .Width = 300, .Height = 60, .Border = false});
    memo.SetColor(clWhite);
    memo.SetMemoFont(TFont{.Height = -24, .Color = clBlue, .Bold = true});
    memo.SetLines({"MMMMMM"});
    form.Show();
    RedrawWindow(form.Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    TBitmap picture(panel.Width(), panel.Height());
    HDC dc = GetDC(panel.Handle());
    BitBlt(picture.Canvas(), 0, 0, picture.Width(), picture.Height(), dc, 0, 0, SRCCOPY);
    ReleaseDC(panel.Handle(), dc);
    int white = 0;
    int blue = 0;
    int face = 0;
    for (int y = 0; y < picture.Height(); ++y) {
      for (int x = 0; x < picture.Width(); ++x) {
        const COLORREF pixel = picture.Pixel(x, y);
        white += pixel == RGB(255, 255, 255);
        blue += pixel == RGB(0, 0, 255);
        face += pixel == GetSysColor(COLOR_BTNFACE);
      }
    }
    if (highContrast) {
      EXPECT_EQ(white, 0);
      EXPECT_EQ(blue, 0);
      EXPECT_GT(face, picture.Width() * picture.Height() / 2);
    } else {
      EXPECT_GT(white, picture.Width() * picture.Height() / 2);
      EXPECT_GT(blue, 100);
    }
    Application().DestroyComponents();
  }
  SetHighContrastQuery(previous);
}

TEST_F(ControlsTest, ButtonPassesClicksStateAndCaptionThroughTheSystemButton) {
  TForm& form = NewForm();
  TButton& button = form.CreateComponent<TButton>(&form, TButtonParams{.Caption = "&Fermer"});
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  SendMessageW(button.ButtonHandle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);

  button.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(button.ButtonHandle()));
  button.SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(button.ButtonHandle()));

  button.SetCaption("&Exécuter");
  wchar_t text[32] = {};
  GetWindowTextW(button.ButtonHandle(), text, 32);
  EXPECT_STREQ(text, L"&Exécuter");
  button.SetBounds(10, 10, 97, 33);
  RECT inner;
  GetClientRect(button.ButtonHandle(), &inner);
  EXPECT_EQ(inner.right, 97);
  EXPECT_EQ(inner.bottom, 33);
}

TEST_F(ControlsTest, MemoKeepsEveryLineTheEmptyLastOneIncluded) {
  TForm& form = NewForm();
  TMemo& memo = form.CreateComponent<TMemo>(&form, TMemoParams{});
  const std::vector<std::string> lines = {"première ", "", "fin.", ""};
  memo.SetLines(lines);
  EXPECT_EQ(memo.Lines(), lines);
  EXPECT_EQ(memo.Text(), "première \r\n\r\nfin.\r\n\r\n");
}

TEST_F(ControlsTest, APanelAnswersWithTheFontItDrawsIn) {
  TForm& form = NewForm();
  TPanel& panel = form.CreateComponent<TPanel>(&form, TPanelParams{.Caption = "état"});
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(panel.Handle(), WM_GETFONT, 0, 0)),
            panel.FontHandle());
  panel.SetFont({.Name = "MS Sans Serif", .Height = -16, .Bold = true});
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(panel.Handle(), WM_GETFONT, 0, 0));
  EXPECT_EQ(font, panel.FontHandle());
  LOGFONTW description{};
  ASSERT_NE(GetObjectW(font, sizeof description, &description), 0);
  EXPECT_EQ(description.lfHeight, -16);
  EXPECT_EQ(description.lfWeight, FW_BOLD);
}

// The windows are laid out for the bitmap "MS Sans Serif" of Windows (and of Wine's fonts); a
// prefix without it gives a wider face in its place, and every laid-out text wraps or is cut.
TEST_F(ControlsTest, MsSansSerifIsTheBitmapFaceAtEverySizeTheWindowsUse) {
  TForm& form = NewForm();
  TPanel& panel = form.CreateComponent<TPanel>(&form, TPanelParams{});
  for (int height : {11, 13, 16}) {
    SCOPED_TRACE(height);
    panel.SetFont({.Name = "MS Sans Serif", .Height = -height});
    HDC dc = GetDC(panel.Handle());
    wchar_t face[LF_FACESIZE] = {};
    TEXTMETRICW metrics{};
    {
      SelectionUndo font(dc, panel.FontHandle());
      GetTextFaceW(dc, LF_FACESIZE, face);
      GetTextMetricsW(dc, &metrics);
    }
    ReleaseDC(panel.Handle(), dc);
    EXPECT_STREQ(face, L"MS Sans Serif");
    EXPECT_FALSE(metrics.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR)) << "not the bitmap face";
  }
}

TEST_F(ControlsTest, ScrollBoxShowsItsBarOnlyWhenItsContentIsTaller) {
  TForm& form = NewForm();
  TScrollBox& box = form.CreateComponent<TScrollBox>(
      &form, TScrollBoxParams{.Align = TAlign::alClient, .VertBarSize = 20});
  TPanel& panel = box.CreateComponent<TPanel>(&box, TPanelParams{.Top = 10, .Height = 100});
  box.UpdateScrollRange();
  EXPECT_FALSE(box.VertBarVisible());
  panel.SetBounds(0, 250, 100, 100);
  box.UpdateScrollRange();
  EXPECT_TRUE(box.VertBarVisible());
  SendMessageW(box.Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(box.ScrollPosition(), 50);  // no further than the content's end
  EXPECT_EQ(panel.BoundsRect().top, 200);
}

TEST_F(ControlsTest, AnimationOpensTheCopyFilesClipAndKeepsItsOwnState) {
  TForm& form = NewForm();
  TAnimate& animation = form.CreateComponent<TAnimate>(
      &form, TAnimateParams{.Width = 272, .Height = 60, .StopFrame = 31, .Visible = false});
  EXPECT_TRUE(animation.ClipOpen());
  EXPECT_FALSE(animation.Active());
  animation.SetActive(true);
  EXPECT_TRUE(animation.Active());
  animation.SetActive(false);
  EXPECT_FALSE(animation.Active());
}

}  // namespace
}  // namespace patchpav
