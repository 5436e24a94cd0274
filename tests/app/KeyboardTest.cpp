// The wizard and the waiting dialog driven from the keyboard alone, with real key presses.
// These tests need their window in front for the whole test: they run alone (RUN_SERIAL).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/KeyInput.h"
#include "app/WizardFixture.h"
#include "framework/Utf.h"
#include "ui/WaitForm.h"

namespace patchpav::testing {
namespace {

using ::testing::ElementsAre;

const std::vector<AmountRow> kRows = {{1, {25, -18, 0, 0, 0, 0, 0}}};

std::string WindowName(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  return WideToUtf8(name) + " '" + WideToUtf8(text) + "'";
}

class KeyboardTest : public WizardTest {
 protected:
  // The wizard in step 2 on a good base, in front.
  TMain& StartInStep2(const DialogRobot& robot) {
    MakeBase(BasePath(), 430, kRows);
    RegisterInstallation(InstallText());
    WriteSettings(BasePath().string());
    TMain& main = CreateWindows();
    main.Show();
    EXPECT_TRUE(robot.Seen().empty());
    EXPECT_EQ(main.WizardStep, 2);
    EXPECT_TRUE(BringToForeground(main.Handle()));
    return main;
  }
};

TEST_F(KeyboardTest, AltERunsTheCorrectionAsAClickDoes) {
  DialogRobot robot;
  TMain& main = StartInStep2(robot);
  robot.Answer("OK");
  ASSERT_TRUE(PressKey('E', {VK_MENU}));

  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, "Information");
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(main.Visible());
  EXPECT_THAT(ReadAmounts(BasePath())[0].amounts, ElementsAre(7, 0, 0, 0, 0, 0, 0));
}

TEST_F(KeyboardTest, TabCyclesTheEnabledButtonsAndEnterPressesTheFocusedOne) {
  DialogRobot robot;
  TMain& main = StartInStep2(robot);
  // Close has the keyboard when the window comes up, so that no lone Enter starts the
  // correction; the explanation and the hidden Next button are not stops.
  EXPECT_EQ(GetFocus(), main.BtFermer->Handle()) << WindowName(GetFocus());
  const struct {
    WORD key;
    std::vector<WORD> modifiers;
    TXPBitBtn* expected;
  } steps[] = {
      {VK_TAB, {}, main.BtExecuter},         {VK_TAB, {}, main.BtFermer},
      {VK_TAB, {VK_SHIFT}, main.BtExecuter}, {VK_TAB, {VK_SHIFT}, main.BtFermer},
      {VK_TAB, {}, main.BtExecuter},         {VK_RIGHT, {}, main.BtFermer},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.expected->Caption());
    ASSERT_TRUE(PressKey(step.key, step.modifiers));
    EXPECT_EQ(GetFocus(), step.expected->Handle());
    EXPECT_TRUE(step.expected->HasFocus());
  }
  EXPECT_FALSE(main.BtExecuter->HasFocus());

  // Enter on Close closes, and the correction never ran.
  ASSERT_TRUE(PressKey(VK_RETURN));
  EXPECT_TRUE(robot.Seen().empty());
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(main.DbSource.Connected());
  EXPECT_THAT(ReadAmounts(BasePath())[0].amounts, ElementsAre(25, -18, 0, 0, 0, 0, 0));
}

// Enter or Escape as the window comes up closes; the correction runs only once the keyboard
// has been moved onto Execute on purpose.
TEST_F(KeyboardTest, InStep2EnterOrEscapeClosesAndTabThenEnterOrSpaceRuns) {
  const struct {
    std::vector<WORD> keys;
    bool runs;
  } cases[] = {
      {{VK_RETURN}, false},
      {{VK_ESCAPE}, false},
      {{VK_TAB, VK_RETURN}, true},
      {{VK_TAB, VK_SPACE}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.back());
    std::filesystem::remove_all(BasePath());
    std::filesystem::create_directory(BasePath());
    DialogRobot robot;
    TMain& main = StartInStep2(robot);
    if (c.runs) robot.Answer("OK");
    for (WORD key : c.keys) ASSERT_TRUE(PressKey(key));
    EXPECT_EQ(robot.Seen().size(), c.runs ? 1u : 0u);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(main.DbSource.Connected());
    EXPECT_THAT(ReadAmounts(BasePath())[0].amounts,
                c.runs ? ElementsAre(7, 0, 0, 0, 0, 0, 0) : ElementsAre(25, -18, 0, 0, 0, 0, 0));
    Application().DestroyComponents();
    Application().ClearTermination();
  }
}

// In step 1 the keyboard reaches Close and the folder button of the selection page, whose
// Enter or Space chooses the base; Execute, disabled, answers neither Tab nor its mnemonic.
TEST_F(KeyboardTest, InStep1TheKeyboardChoosesTheBaseOrCloses) {
  for (WORD press : {WORD{VK_RETURN}, WORD{VK_SPACE}, WORD{0}}) {
    SCOPED_TRACE(press);
    DeleteAppPathsEntry();
    RegisterInstallation(InstallText());
    WriteSettings(BaseText());  // no version file there: the version file is asked for
    ScratchDirectory good;
    MakeBase(good.Path(), 430, kRows);
    DialogRobot robot;
    robot.CancelFile();
    robot.AnswerFile(good.Text() + "VARDOMEX.VER");
    TMain& main = CreateWindows();
    main.Show();
    ASSERT_EQ(main.WizardStep, 1);
    ASSERT_TRUE(BringToForeground(main.Handle()));
    EXPECT_EQ(GetFocus(), main.BtFermer->Handle());

    ASSERT_TRUE(PressKey(VK_TAB));
    EXPECT_EQ(GetFocus(), main.SbRechercherSource->Handle()) << WindowName(GetFocus());
    ASSERT_TRUE(PressKey(VK_TAB));
    EXPECT_EQ(GetFocus(), main.BtFermer->Handle()) << WindowName(GetFocus());

    if (press) {
      ASSERT_TRUE(PressKey(VK_TAB, {VK_SHIFT}));
      ASSERT_TRUE(PressKey(press));
      ASSERT_EQ(robot.Seen().size(), 2u);
      EXPECT_TRUE(robot.Seen()[1].fileDialog);
      EXPECT_EQ(main.WizardStep, 2);
      EXPECT_TRUE(main.BtExecuter->Enabled());
      EXPECT_FALSE(Application().Terminated());
    } else {
      ASSERT_TRUE(PressKey('E', {VK_MENU}));
      EXPECT_EQ(robot.Seen().size(), 1u);
      EXPECT_FALSE(Application().Terminated());
      ASSERT_TRUE(PressKey('F', {VK_MENU}));
      EXPECT_TRUE(Application().Terminated());
      EXPECT_FALSE(main.Visible());
      EXPECT_EQ(robot.Seen().size(), 1u);
    }
    Application().DestroyComponents();
    Application().ClearTermination();
  }
}

TEST_F(KeyboardTest, WaitingDialogCancelsFromTheKeyboardOnlyWithItsButtonEnabled) {
  struct Case {
    bool enabled;
    WORD key;
    std::vector<WORD> modifiers;
  };
  const Case cases[] = {
      {false, VK_ESCAPE, {}},
      {false, 'A', {VK_MENU}},
      {true, VK_ESCAPE, {}},
      {true, 'A', {VK_MENU}},
  };
  CreateWindows();
  Application().CreateForm(WaitingForm);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.enabled) + " " + std::to_string(c.key));
    WaitingForm->WaitCancelled = false;
    WaitingForm->SetModalResult(mrNone);
    WaitingForm->BitBtn1->SetEnabled(c.enabled);
    WaitingForm->Show();
    ASSERT_TRUE(BringToForeground(WaitingForm->Handle()));
    ASSERT_TRUE(PressKey(c.key, c.modifiers));
    EXPECT_EQ(WaitingForm->WaitCancelled, c.enabled);
    EXPECT_EQ(WaitingForm->ModalResult(), c.enabled ? mrCancel : mrNone);
    WaitingForm->Hide();
  }
}

}  // namespace
}  // namespace patchpav::testing
