#include "ui/FProgress.h"

namespace patchpav {

TProgressDlg* ProgressDlg = nullptr;

namespace {

constexpr TColorValue kSkyBlue = RgbColor(166, 202, 240);

TFormParams FormParams() {
  return {.Caption = "Progression...",
          .ClientWidth = 368,
          .ClientHeight = 53,
          .BorderStyle = TBorderStyle::bsDialog,
          .BorderIcons = {.SystemMenu = false, .Minimize = false, .Maximize = false},
          .ScreenCenter = true,
          .Font = {.Name = "MS Sans Serif", .Height = -11}};
}

}  // namespace

TProgressDlg::TProgressDlg(TComponent* owner) : TForm(owner, FormParams()) {
  SetCursor(TCursor::crHourGlass);
  Panel1 = &CreateComponent<TPanel>(this, TPanelParams{.Align = TAlign::alClient});
  Panel1->SetName("Panel1");
  PEtat = &CreateComponent<TPanel>(Panel1, TPanelParams{.Height = 25,
                                                        .Align = TAlign::alTop,
                                                        .Caption = "Préparation de la table ...",
                                                        .Alignment = TAlignment::taLeftJustify,
                                                        .BevelOuter = TBevelCut::bvNone});
  PEtat->SetName("PEtat");
  PEtat->SetCursor(TCursor::crHourGlass);
  Gauge1 = &CreateComponent<TGauge>(Panel1, TGaugeParams{.Height = 25, .Align = TAlign::alBottom});
  Gauge1->SetName("Gauge1");
  Gauge1->SetBorderStyle(TGaugeBorder::bsNone);
  Gauge1->SetBackColor(clBtnFace);
  Gauge1->SetForeColor(kSkyBlue);
  TFont white = Font();
  white.Color = clWhite;
  Gauge1->SetFont(white);
  Gauge1->SetCursor(TCursor::crHourGlass);
  Gauge1->SetProgress(70);
}

TProgressDlg::~TProgressDlg() {
  if (ProgressDlg == this) ProgressDlg = nullptr;
}

LRESULT TProgressDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Alt+F4 asks even a window without a close box to close. The dialog is on screen only while
  // the run writes rows; hidden, it would leave the run going on with nothing to show for it.
  if (message == WM_CLOSE) return 0;
  return TForm::HandleMessage(message, wParam, lParam);
}

void TProgressDlg::FormShow() {
  // The dialog comes up in front of the main window, which stays behind it, disabled.
  if (ProgressDlg) ProgressDlg->BringToFront();
}

}  // namespace patchpav
