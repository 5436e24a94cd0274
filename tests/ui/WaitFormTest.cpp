#include "ui/WaitForm.h"

#include <gtest/gtest.h>

#include <array>

#include "framework/Application.h"

namespace patchpav {
namespace {

class WaitFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().CreateForm(main);
    Application().CreateForm(WaitingForm);
  }
  void TearDown() override {
    Application().DestroyComponents();
    Application().ClearTermination();
  }
  TForm* main = nullptr;
};

TEST_F(WaitFormTest, IsCreatedHiddenAsDesigned) {
  TWaitingForm& form = *WaitingForm;
  EXPECT_FALSE(form.WaitCancelled);
  EXPECT_FALSE(form.WaitFinished);
  form.WaitCancelled = true;  // as left by an earlier wait: FormCreate clears it
  form.FormCreate();
  EXPECT_FALSE(form.WaitCancelled);
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.Caption(), "Patientez S.V.P....");
  EXPECT_EQ(form.ClientWidth(), 162);
  EXPECT_EQ(form.ClientHeight(), 89);
  LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0) << "no frame and no title bar";
  EXPECT_EQ(style & WS_SYSMENU, 0);
  EXPECT_EQ(form.Timer1->Interval(), 1000u);
  EXPECT_FALSE(form.Timer1->Enabled());
  EXPECT_EQ(form.Panel1->Align(), TAlign::alClient);
  EXPECT_EQ(form.Label1->Caption(), "Patientez S.V.P.");
  EXPECT_EQ(form.Label1->Height(), 17);
  EXPECT_EQ(form.Label1->Alignment(), TAlignment::taCenter);
  EXPECT_EQ(form.Label1->Font().Height, -13);
  EXPECT_TRUE(form.Label1->Font().Bold);
  EXPECT_EQ(form.Label1->Font().Color, clWhite);
  EXPECT_EQ(form.Label1->Color(), clBlue);
}

TEST_F(WaitFormTest, HasItsTwoCancelButtonsInOnePlace) {
  TWaitingForm& form = *WaitingForm;
  for (TBitBtn* button : {form.CancelBtn, form.BitBtn1}) {
    SCOPED_TRACE(button->Name());
    EXPECT_EQ(form.FindComponent(button->Name()), button);
    EXPECT_EQ(button->Caption(), "&Annuler");
    EXPECT_TRUE(button->Cancel());
    EXPECT_EQ(button->Parent(), form.Panel1);
    RECT bounds = button->BoundsRect();
    EXPECT_EQ((std::array<LONG, 4>{40, 48, 121, 75}),
              (std::array<LONG, 4>{bounds.left, bounds.top, bounds.right, bounds.bottom}));
  }
  EXPECT_EQ(form.CancelBtn->Name(), "CancelBtn");
  EXPECT_EQ(form.BitBtn1->Name(), "BitBtn1");
  EXPECT_FALSE(form.CancelBtn->Visible());
  EXPECT_TRUE(form.CancelBtn->Enabled());
  EXPECT_TRUE(form.BitBtn1->Visible());
  EXPECT_FALSE(form.BitBtn1->Enabled());

  // The hidden one has no handler; BitBtn1, once enabled, cancels the wait.
  EXPECT_FALSE(form.CancelBtn->OnClick);
  main->Show();
  form.Show();
  form.BitBtn1->SetEnabled(true);
  SendMessageW(form.BitBtn1->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.WaitCancelled);
  EXPECT_EQ(form.ModalResult(), mrCancel);
}

TEST_F(WaitFormTest, HandlersSetTheFlagsAndTheResult) {
  TWaitingForm& form = *WaitingForm;
  form.Timer1Timer();
  EXPECT_EQ(form.ModalResult(), mrNone) << "not finished yet";
  form.CancelBtnClick();
  EXPECT_TRUE(form.WaitCancelled);
  EXPECT_EQ(form.ModalResult(), mrCancel);
  form.Panel1Click();
  EXPECT_EQ(form.ModalResult(), mrOk);
  Process1Finished();
  EXPECT_TRUE(form.WaitFinished);
}

TEST_F(WaitFormTest, ModalWaitEndsWhenTheTimerSeesTheFinishedFlag) {
  main->Show();
  WaitingForm->Timer1->SetInterval(20);
  WaitingForm->Timer1->SetEnabled(true);
  Process1Finished();
  EXPECT_EQ(WaitingForm->ShowModal(), mrOk);
  EXPECT_FALSE(WaitingForm->Visible());
  EXPECT_TRUE(main->Enabled()) << "the other windows are enabled again";
}

TEST_F(WaitFormTest, ModalWaitEndsOnAClickOnThePanel) {
  main->Show();
  PostMessageW(WaitingForm->Panel1->Handle(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(WaitingForm->ShowModal(), mrOk);
  EXPECT_FALSE(WaitingForm->WaitCancelled);
}

}  // namespace
}  // namespace patchpav
