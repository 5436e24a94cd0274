#include "ui/FProgress.h"

#include <gtest/gtest.h>

#include "framework/Application.h"
#include "ui/WaitForm.h"

namespace patchpav {
namespace {

constexpr COLORREF kSkyBlue = RGB(166, 202, 240);

COLORREF Inverted(COLORREF color) {
  return RGB(255 - GetRValue(color), 255 - GetGValue(color), 255 - GetBValue(color));
}

// The windows of a start of the application: the main window, then the two dialogs, hidden.
class ProgressDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().SetTitle("Patch d'ajustement des dettes des tiers payant");
    main = &Application().CreateForm(mainForm);
    Application().CreateForm(ProgressDlg);
    Application().CreateForm(WaitingForm);
  }
  void TearDown() override {
    Application().DestroyComponents();
    Application().ClearTermination();
  }

  // True when a is above b in the z-order of top-level windows.
  static bool Above(HWND a, HWND b) {
    for (HWND next = GetWindow(a, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
      if (next == b) return true;
    }
    return false;
  }

  TForm* mainForm = nullptr;
  TForm* main = nullptr;
};

TEST_F(ProgressDlgTest, IsCreatedHiddenAsDesigned) {
  TProgressDlg& dialog = *ProgressDlg;
  EXPECT_FALSE(dialog.Visible());
  EXPECT_EQ(dialog.Caption(), "Progression...");
  EXPECT_EQ(dialog.ClientWidth(), 368);
  EXPECT_EQ(dialog.ClientHeight(), 53);
  LONG style = GetWindowLongW(dialog.Handle(), GWL_STYLE);
  LONG exStyle = GetWindowLongW(dialog.Handle(), GWL_EXSTYLE);
  EXPECT_EQ(style & WS_SYSMENU, 0) << "no window menu, hence no close box";
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0);
  EXPECT_EQ(dialog.Cursor(), TCursor::crHourGlass);
  EXPECT_EQ(dialog.Font().Name, "MS Sans Serif");
  EXPECT_EQ(dialog.Font().Height, -11);

  EXPECT_EQ(dialog.Panel1->Align(), TAlign::alClient);
  EXPECT_EQ(dialog.Panel1->BevelOuter(), TBevelCut::bvRaised);
  EXPECT_EQ(dialog.PEtat->Caption(), "Préparation de la table ...");
  EXPECT_EQ(dialog.PEtat->Align(), TAlign::alTop);
  EXPECT_EQ(dialog.PEtat->Height(), 25);
  EXPECT_EQ(dialog.PEtat->BevelOuter(), TBevelCut::bvNone);
  EXPECT_EQ(dialog.PEtat->Alignment(), TAlignment::taLeftJustify);
  EXPECT_EQ(dialog.PEtat->Cursor(), TCursor::crHourGlass);

  TGauge& gauge = *dialog.Gauge1;
  EXPECT_EQ(gauge.Align(), TAlign::alBottom);
  EXPECT_EQ(gauge.Height(), 25);
  EXPECT_EQ(gauge.Progress(), 70);
  EXPECT_EQ(gauge.Model().BorderStyle(), TGaugeBorder::bsNone);
  EXPECT_EQ(gauge.Model().BackColor(), clBtnFace);
  EXPECT_EQ(gauge.Model().ForeColor(), RgbColor(166, 202, 240));
  EXPECT_EQ(gauge.Font().Color, clWhite);
  EXPECT_EQ(gauge.Cursor(), TCursor::crHourGlass);
  // The gauge spans the width inside the panel's bevel and sits at the bottom.
  RECT panel;
  GetClientRect(dialog.Panel1->Handle(), &panel);
  RECT bounds = gauge.BoundsRect();
  EXPECT_EQ(bounds.right - bounds.left, panel.right - 2);
  EXPECT_EQ(bounds.bottom, panel.bottom - 1);

  EXPECT_EQ(ProgressDlg->Owner(), &Application());
}

// The correction run's sequence: search text without the gauge, then the gauge row by row.
TEST_F(ProgressDlgTest, DrivenAsTheCorrectionRunDrivesIt) {
  main->Show();
  main->SetEnabled(false);
  ProgressDlg->SetStatus("Recherche des enregistrements \"-18 €\"...");
  ProgressDlg->HideGauge();
  ProgressDlg->Show();
  Application().ProcessMessages();
  EXPECT_TRUE(ProgressDlg->Visible());
  EXPECT_TRUE(Above(ProgressDlg->Handle(), main->Handle()));
  RECT rect;
  GetWindowRect(ProgressDlg->Handle(), &rect);
  EXPECT_NEAR((rect.left + rect.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_EQ(ProgressDlg->PEtat->Caption(), "Recherche des enregistrements \"-18 €\"...");
  EXPECT_FALSE(ProgressDlg->Gauge1->Visible());

  ProgressDlg->SetGaugeMax(100);
  ProgressDlg->SetGaugeProgress(0);
  ProgressDlg->ShowGauge();
  Application().ProcessMessages();
  EXPECT_TRUE(ProgressDlg->Gauge1->Visible());
  for (int row = 1; row <= 17; ++row) {
    ProgressDlg->SetStatus("Correction de l'enregistrement comptable n°1234 (" +
                           std::to_string(row) + "/100)");
    ProgressDlg->SetGaugeProgress(row);
    Application().ProcessMessages();
  }
  // The dialog may still show an earlier row (it changes at most once per frame); it knows the
  // latest, and shows it when asked to or when it is hidden.
  EXPECT_EQ(ProgressDlg->Status(), "Correction de l'enregistrement comptable n°1234 (17/100)");
  EXPECT_EQ(ProgressDlg->Progress(), 17);
  ProgressDlg->ShowLatest();
  EXPECT_EQ(ProgressDlg->Gauge1->Progress(), 17);
  EXPECT_EQ(ProgressDlg->PEtat->Caption(),
            "Correction de l'enregistrement comptable n°1234 (17/100)");

  DibBitmap picture = ProgressDlg->Gauge1->RenderPicture();
  int width = ProgressDlg->Gauge1->ClientWidth();
  ASSERT_EQ(picture.Width(), width);
  int filled = (width + 1) * 17 / 100;
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(picture.Pixel(0, 0), kSkyBlue);
  EXPECT_EQ(picture.Pixel(filled - 1, 0), kSkyBlue);
  EXPECT_EQ(picture.Pixel(filled, 0), face);
  EXPECT_EQ(picture.Pixel(width - 1, 0), face);
  // "17%" in white, centred: its letters show the inverted background.
  int inverted = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = width / 2 - 20; x < width / 2 + 20; ++x) {
      inverted += picture.Pixel(x, y) == Inverted(face);
    }
  }
  EXPECT_GT(inverted, 10);

  // Hidden at the end of the sweep; the main window comes back.
  ProgressDlg->Hide();
  main->SetEnabled(true);
  Application().ProcessMessages();
  EXPECT_FALSE(ProgressDlg->Visible());
  EXPECT_TRUE(main->Enabled());

  // Shown again for a further sweep: in front again.
  SetWindowPos(main->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ProgressDlg->Show();
  EXPECT_TRUE(Above(ProgressDlg->Handle(), main->Handle()));
}

// A run's rows come faster than the dialog changes: whatever the timing, the status line and the
// gauge end with the last row's state once the dialog is hidden at the end of the sweep.
TEST_F(ProgressDlgTest, TheDialogEndsWithTheLastStateOfABurst) {
  ProgressDlg->SetGaugeMax(500);
  ProgressDlg->SetGaugeProgress(0);
  ProgressDlg->Show();
  Application().ProcessMessages();
  std::string last;
  for (int row = 1; row <= 500; ++row) {
    last = "Correction de l'enregistrement comptable n°" + std::to_string(row) + " (" +
           std::to_string(row) + "/500)";
    ProgressDlg->SetStatus(last);
    ProgressDlg->SetGaugeProgress(row);
    Application().ProcessMessages();
  }
  EXPECT_EQ(ProgressDlg->Status(), last);
  EXPECT_EQ(ProgressDlg->Progress(), 500);
  EXPECT_EQ(ProgressDlg->Gauge1->Progress(), 500);  // the end is never a frame late
  ProgressDlg->Hide();
  EXPECT_EQ(ProgressDlg->PEtat->Caption(), last);
  EXPECT_EQ(ProgressDlg->Gauge1->Progress(), 500);
  // A gauge started afresh shows its start at once, and so does a dialog shown again.
  ProgressDlg->SetGaugeMax(3);
  ProgressDlg->SetGaugeProgress(0);
  EXPECT_EQ(ProgressDlg->Gauge1->Progress(), 0);
  ProgressDlg->SetGaugeProgress(1);
  ProgressDlg->SetStatus("Correction de l'enregistrement comptable n°7 (1/3)");
  ProgressDlg->Show();
  EXPECT_EQ(ProgressDlg->Gauge1->Progress(), 1);
  EXPECT_EQ(ProgressDlg->PEtat->Caption(), "Correction de l'enregistrement comptable n°7 (1/3)");
  ProgressDlg->Hide();
}

// While the run writes rows, the main window is disabled and the dialog is the active window:
// Alt+F4 reaches the dialog, and must not hide it.
TEST_F(ProgressDlgTest, RefusesToCloseWhileTheRunWritesRows) {
  main->Show();
  main->SetEnabled(false);
  ProgressDlg->SetStatus("Correction de l'enregistrement comptable n°7 (1/3)");
  ProgressDlg->Show();
  SetForegroundWindow(ProgressDlg->Handle());
  SetActiveWindow(ProgressDlg->Handle());
  Application().ProcessMessages();
  ASSERT_TRUE(ProgressDlg->Visible());

  struct Request {
    const char* what;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } requests[] = {
      // Alt+F4 as the keyboard delivers it to the active window, whose default handling turns it
      // into SC_CLOSE. (Not typed with SendInput: tests run side by side on one desktop.)
      {"Alt+F4", WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(1 | (1u << 29))},
      {"close command", WM_SYSCOMMAND, SC_CLOSE, 0},
      {"close message", WM_CLOSE, 0, 0},
  };
  for (const Request& r : requests) {
    SCOPED_TRACE(r.what);
    PostMessageW(ProgressDlg->Handle(), r.message, r.wParam, r.lParam);
    Application().ProcessMessages();
    EXPECT_TRUE(ProgressDlg->Visible());
    EXPECT_TRUE(IsWindowVisible(ProgressDlg->Handle()));
    EXPECT_FALSE(Application().Terminated());
  }
  // The run hides it itself at the end of the sweep.
  ProgressDlg->Hide();
  EXPECT_FALSE(ProgressDlg->Visible());
}

TEST_F(ProgressDlgTest, DestroyingTheDialogClearsTheApplicationWideInstance) {
  Application().DestroyComponents();
  EXPECT_EQ(ProgressDlg, nullptr);
  EXPECT_EQ(WaitingForm, nullptr);
  EXPECT_EQ(Application().MainForm(), nullptr);
}

}  // namespace
}  // namespace patchpav
