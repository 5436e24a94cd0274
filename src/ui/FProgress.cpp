#include "ui/FProgress.h"

namespace patchpav {

TProgressDlg* ProgressDlg = nullptr;

namespace {

constexpr TColorValue kSkyBlue = RgbColor(166, 202, 240);
constexpr UINT_PTR kFrameTimer = 1;

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
  status_ = PEtat->Caption();
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
  progress_ = Gauge1->Progress();
}

TProgressDlg::~TProgressDlg() {
  if (ProgressDlg == this) ProgressDlg = nullptr;
}

void TProgressDlg::SetStatus(const std::string& text) {
  if (text == status_) return;
  status_ = text;
  statusPending_ = true;
  ShowOrDefer();
}

void TProgressDlg::SetGaugeProgress(int value) {
  progress_ = value;
  progressPending_ = value != Gauge1->Progress();
  // The start and the end of a sweep are shown as they come, never a frame late.
  if (value <= Gauge1->MinValue() || value >= Gauge1->MaxValue()) {
    ShowLatest();
  } else {
    ShowOrDefer();
  }
}

void TProgressDlg::ShowOrDefer() {
  if (!statusPending_ && !progressPending_) return;
  if (GetTickCount64() - shownAt_ >= kFrameMs) {
    ShowLatest();
  } else if (!timerSet_) {
    timerSet_ = SetTimer(Handle(), kFrameTimer, kFrameMs, nullptr) != 0;
  }
}

void TProgressDlg::ShowLatest() {
  if (timerSet_) {
    KillTimer(Handle(), kFrameTimer);
    timerSet_ = false;
  }
  if (!statusPending_ && !progressPending_) return;
  if (statusPending_) PEtat->SetCaption(status_);
  if (progressPending_) Gauge1->SetProgress(progress_);
  statusPending_ = progressPending_ = false;
  shownAt_ = GetTickCount64();
}

LRESULT TProgressDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Alt+F4 asks even a window without a close box to close. The dialog is on screen only while
  // the run writes rows; hidden, it would leave the run going on with nothing to show for it.
  if (message == WM_CLOSE) return 0;
  if (message == WM_TIMER && wParam == kFrameTimer) {
    ShowLatest();
    return 0;
  }
  // Hidden (at the end of a sweep): the dialog keeps the last state it was given.
  if (message == WM_SHOWWINDOW && !wParam) ShowLatest();
  return TForm::HandleMessage(message, wParam, lParam);
}

void TProgressDlg::FormShow() {
  ShowLatest();
  // The dialog comes up in front of the main window, which stays behind it, disabled.
  if (ProgressDlg) ProgressDlg->BringToFront();
}

}  // namespace patchpav
