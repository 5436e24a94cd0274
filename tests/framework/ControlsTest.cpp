#include <gtest/gtest.h>

#include "framework/Animate.h"
#include "framework/Application.h"
#include "framework/Button.h"
#include "framework/Handles.h"
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
