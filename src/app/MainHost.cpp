// The wizard window as the correction run's host: its own state, its animation, the progress
// dialog and the tool's message boxes.
#include "app/FMain.h"
#include "framework/Application.h"
#include "framework/MessageDialogs.h"
#include "ui/FProgress.h"

namespace patchpav {

void TMain::EnableMainWindow(bool enabled) { SetEnabled(enabled); }

void TMain::SetMainWindowCursor(CorrectionHost::Cursor cursor) {
  SetCursor(cursor == CorrectionHost::Cursor::Hourglass ? TCursor::crHourGlass
                                                        : TCursor::crDefault);
}

void TMain::PlayAnimation(bool playing) { Animate1->SetActive(playing); }

void TMain::ShowAnimation(bool visible) { Animate1->SetVisible(visible); }

void TMain::ShowProgress(bool visible) {
  if (!ProgressDlg) return;
  if (visible) {
    ProgressDlg->Show();
  } else {
    ProgressDlg->Hide();
  }
}

void TMain::SetProgressStatus(const std::string& text) {
  if (ProgressDlg) ProgressDlg->SetStatus(text);
}

void TMain::ShowGauge(bool visible) {
  if (!ProgressDlg) return;
  if (visible) {
    ProgressDlg->ShowGauge();
  } else {
    ProgressDlg->HideGauge();
  }
}

void TMain::SetGaugeMax(int maxValue) {
  if (ProgressDlg) ProgressDlg->SetGaugeMax(maxValue);
}

void TMain::SetGaugeProgress(int progress) {
  if (ProgressDlg) ProgressDlg->SetGaugeProgress(progress);
}

void TMain::ShowInformation(const std::string& text) {
  MessageDlg(text, TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
}

void TMain::ShowWarning(const std::string& text) {
  MessageDlg(text, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

void TMain::ProcessMessages() { Application().ProcessMessages(); }

void TMain::PressClose() {
  running_ = false;  // the run is over: this Close is its own
  BtFermerClick();
}

}  // namespace patchpav
