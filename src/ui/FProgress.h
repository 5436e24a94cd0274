#pragma once

#include <string>

#include "framework/Form.h"
#include "framework/Gauge.h"
#include "framework/Panel.h"

namespace patchpav {

// The progress dialog of the correction run: a status line and a percentage gauge, driven
// entirely from outside. It has no close box, and it refuses the close requests that reach it all
// the same (Alt+F4): the run alone shows and hides it.
//
// The run sets a new status and a new gauge position for every row, thousands a second, far more
// often than a screen or a reader can follow, and each repaint costs more than the row's write.
// So the dialog shows a new state at most once per kFrameMs: a state that comes sooner is kept,
// and shown when the next one comes after that time, when the frame's timer fires (the run
// pumps messages after each row), or at once when the dialog is shown or hidden; a gauge at its
// start or its end is shown at once. Status() and Progress() are always the latest values.
class TProgressDlg : public TForm {
 public:
  explicit TProgressDlg(TComponent* owner);
  ~TProgressDlg() override;

  TPanel* Panel1;
  TPanel* PEtat;
  TGauge* Gauge1;

  static constexpr unsigned kFrameMs = 40;

  // What the correction run calls.
  void SetStatus(const std::string& text);
  const std::string& Status() const { return status_; }
  int Progress() const { return progress_; }
  // Shows the latest status and gauge position now, if the dialog does not show them yet.
  void ShowLatest();
  void ShowGauge() { Gauge1->Show(); }
  void HideGauge() { Gauge1->Hide(); }
  void SetGaugeMax(int value) { Gauge1->SetMaxValue(value); }
  void SetGaugeProgress(int value);

 protected:
  void FormShow() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ShowOrDefer();

  std::string status_;
  int progress_ = 0;
  bool statusPending_ = false;
  bool progressPending_ = false;
  bool timerSet_ = false;
  unsigned long long shownAt_ = 0;  // GetTickCount64 when the dialog last showed a new state
};

// The application-wide instance, created at start-up with the other windows.
extern TProgressDlg* ProgressDlg;

}  // namespace patchpav
