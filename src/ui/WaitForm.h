#pragma once

#include "framework/BitBtn.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Panel.h"
#include "framework/Timer.h"

namespace patchpav {

// A small frameless box that asks the user to wait. Run modally, it ends with mrOk once the
// finished flag is up (polled by Timer1) or on a click, and with mrCancel from its cancel
// button. The tool creates it at start-up and keeps it hidden.
class TWaitingForm : public TForm {
 public:
  explicit TWaitingForm(TComponent* owner);
  ~TWaitingForm() override;

  TPanel* Panel1;
  TTimer* Timer1;
  TLabel* Label1;
  // Two "&Annuler" buttons in one place, both the form's cancel button: CancelBtn hidden and
  // without a handler, BitBtn1 disabled, its click running CancelBtnClick.
  TBitBtn* CancelBtn;
  TBitBtn* BitBtn1;

  // Both false at start: the user cancelled the wait; the awaited process has finished.
  bool WaitCancelled = false;
  bool WaitFinished = false;

  void FormCreate();
  void CancelBtnClick();
  void Timer1Timer();
  void Panel1Click();
};

// Tells the application's waiting form, if there is one, that the awaited process has finished.
void Process1Finished();

extern TWaitingForm* WaitingForm;

}  // namespace patchpav
