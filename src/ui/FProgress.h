#pragma once

#include <string>

#include "framework/Form.h"
#include "framework/Gauge.h"
#include "framework/Panel.h"

namespace patchpav {

// The progress dialog of the correction run: a status line and a percentage gauge, driven
// entirely from outside. It has no close box, and it refuses the close requests that reach it all
// the same (Alt+F4): the run alone shows and hides it.
class TProgressDlg : public TForm {
 public:
  explicit TProgressDlg(TComponent* owner);
  ~TProgressDlg() override;

  TPanel* Panel1;
  TPanel* PEtat;
  TGauge* Gauge1;

  // What the correction run calls.
  void SetStatus(const std::string& text) { PEtat->SetCaption(text); }
  void ShowGauge() { Gauge1->Show(); }
  void HideGauge() { Gauge1->Hide(); }
  void SetGaugeMax(int value) { Gauge1->SetMaxValue(value); }
  void SetGaugeProgress(int value) { Gauge1->SetProgress(value); }

 protected:
  void FormShow() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The application-wide instance, created at start-up with the other windows.
extern TProgressDlg* ProgressDlg;

}  // namespace patchpav
