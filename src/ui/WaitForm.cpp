#include "ui/WaitForm.h"

namespace patchpav {

TWaitingForm* WaitingForm = nullptr;

namespace {

TFormParams FormParams() {
  return {.Caption = "Patientez S.V.P....",
          .ClientWidth = 162,
          .ClientHeight = 89,
          .BorderStyle = TBorderStyle::bsNone,
          .ScreenCenter = true,
          .Font = {.Name = "MS Sans Serif", .Height = -11}};
}

}  // namespace

TWaitingForm::TWaitingForm(TComponent* owner) : TForm(owner, FormParams()) {
  Panel1 = &CreateComponent<TPanel>(
      this, TPanelParams{
                .Align = TAlign::alClient, .BevelOuter = TBevelCut::bvNone, .BorderSingle = true});
  Panel1->SetName("Panel1");
  Panel1->OnClick = [this] { Panel1Click(); };
  Timer1 = &CreateComponent<TTimer>(1000u, false);
  Timer1->SetName("Timer1");
  Timer1->OnTimer = [this] { Timer1Timer(); };
  Label1 = &CreateComponent<TLabel>(Panel1, TLabelParams{.Height = 17,
                                                         .Align = TAlign::alTop,
                                                         .Caption = "Patientez S.V.P.",
                                                         .Alignment = TAlignment::taCenter});
  Label1->SetName("Label1");
  Label1->SetColor(clBlue);
  Label1->SetFont({.Name = "MS Sans Serif", .Height = -13, .Color = clWhite, .Bold = true});
  const TControlParams cancelPlace{
      .Left = 40, .Top = 48, .Width = 81, .Height = 27, .Caption = "&Annuler"};
  CancelBtn = &CreateComponent<TBitBtn>(Panel1, cancelPlace);
  CancelBtn->SetName("CancelBtn");
  CancelBtn->SetCancel(true);
  CancelBtn->Hide();
  BitBtn1 = &CreateComponent<TBitBtn>(Panel1, cancelPlace);
  BitBtn1->SetName("BitBtn1");
  BitBtn1->SetCancel(true);
  BitBtn1->SetEnabled(false);
  BitBtn1->OnClick = [this] { CancelBtnClick(); };
  FormCreate();
}

TWaitingForm::~TWaitingForm() {
  if (WaitingForm == this) WaitingForm = nullptr;
}

void TWaitingForm::FormCreate() { WaitCancelled = false; }

void TWaitingForm::CancelBtnClick() {
  WaitCancelled = true;
  SetModalResult(mrCancel);
}

void TWaitingForm::Timer1Timer() {
  if (WaitFinished) SetModalResult(mrOk);
}

void TWaitingForm::Panel1Click() { SetModalResult(mrOk); }

void Process1Finished() {
  if (WaitingForm) WaitingForm->WaitFinished = true;
}

}  // namespace patchpav
