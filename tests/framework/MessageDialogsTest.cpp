#include "framework/MessageDialogs.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Panel.h"
#include "support/DialogRobot.h"

namespace patchpav {
namespace {

using testing::DialogIcon;
using testing::DialogRobot;

constexpr char kTitle[] = "Patch d'ajustement des dettes des tiers payant";

class MessageDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { Application().SetTitle(kTitle); }
  void TearDown() override {
    Application().DestroyComponents();
    Application().ClearTermination();
  }
  DialogRobot robot;
};

// The same words on an English or a French system: the robot reads them from the real box.
TEST_F(MessageDialogsTest, EachKindHasItsCaptionIconAndFrenchButtons) {
  struct Case {
    TMsgDlgType type;
    TMsgDlgButtons buttons;
    std::string answer;
    std::string caption;
    DialogIcon icon;
    std::vector<std::string> labels;
    int result;
  };
  const std::vector<Case> cases = {
      {TMsgDlgType::mtWarning,
       TMsgDlgButtons::mbOK,
       "OK",
       "Avertissement",
       DialogIcon::Warning,
       {"OK"},
       mrOk},
      {TMsgDlgType::mtError, TMsgDlgButtons::mbOK, "OK", "Erreur", DialogIcon::Error, {"OK"}, mrOk},
      {TMsgDlgType::mtInformation,
       TMsgDlgButtons::mbOK,
       "OK",
       "Information",
       DialogIcon::Information,
       {"OK"},
       mrOk},
      {TMsgDlgType::mtConfirmation,
       TMsgDlgButtons::mbYesNo,
       "&Oui",
       "Confirmation",
       DialogIcon::Question,
       {"&Oui", "&Non"},
       mrYes},
      {TMsgDlgType::mtConfirmation,
       TMsgDlgButtons::mbYesNo,
       "&Non",
       "Confirmation",
       DialogIcon::Question,
       {"&Oui", "&Non"},
       mrNo},
      {TMsgDlgType::mtWarning,
       TMsgDlgButtons::mbYesNo,
       "&Non",
       "Avertissement",
       DialogIcon::Warning,
       {"&Oui", "&Non"},
       mrNo},
  };
  const std::string text = "Aucun enregistrement a corriger n'a été trouvé.\rMontant \"-18 €\".";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption + " " + c.answer);
    robot.Answer(c.answer);
    EXPECT_EQ(MessageDlg(text, c.type, c.buttons), c.result);
    ASSERT_FALSE(robot.Seen().empty());
    const testing::SeenDialog& seen = robot.Seen().back();
    EXPECT_EQ(seen.caption, c.caption);
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.buttons, c.labels);
    EXPECT_EQ(seen.text, text);
    EXPECT_TRUE(seen.scripted);
  }
  EXPECT_EQ(robot.Seen().size(), cases.size());
}

TEST_F(MessageDialogsTest, PlainMessageHasTheTitleNoIconAndOk) {
  robot.Answer("OK");
  ShowMessage("Bonjour");
  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, kTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::None);
  EXPECT_EQ(robot.Seen()[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(robot.Seen()[0].text, "Bonjour");
}

TEST_F(MessageDialogsTest, BoxBelongsToTheActiveForm) {
  TForm* form = nullptr;
  Application().CreateForm(form);
  form->Show();
  SetActiveWindow(form->Handle());
  robot.Answer("OK");
  MessageDlg("Texte", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].owner, form->Handle());
  // Modal: the form was disabled while the box was up, and is enabled again.
  EXPECT_TRUE(form->Enabled());
}

TEST_F(MessageDialogsTest, GeneralErrorMessageAddsAFullStopOnlyWhenMissing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Table CPMAIN introuvable", "Table CPMAIN introuvable."},
      {"Fichier verrouillé.", "Fichier verrouillé."},
      {"Valeur incorrecte : 1,5 €", "Valeur incorrecte : 1,5 €."},
  };
  for (const auto& [error, shown] : cases) {
    robot.Answer("OK");
    Application().ShowException(std::runtime_error(error));
    ASSERT_FALSE(robot.Seen().empty());
    EXPECT_EQ(robot.Seen().back().text, shown);
    EXPECT_EQ(robot.Seen().back().caption, kTitle);
    EXPECT_EQ(robot.Seen().back().icon, DialogIcon::Error);
    EXPECT_EQ(robot.Seen().back().buttons, std::vector<std::string>{"OK"});
  }
}

TEST_F(MessageDialogsTest, ErrorEscapingAHandlerReachesTheGeneralMessageButAbortIsSilent) {
  TForm* form = nullptr;
  Application().CreateForm(form);
  TPanel& panel = form->CreateComponent<TPanel>(form);
  panel.OnClick = [] { throw std::runtime_error("La connexion a été perdue"); };
  robot.Answer("OK");
  SendMessageW(panel.Handle(), WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].text, "La connexion a été perdue.");

  panel.OnClick = [] { Abort(); };
  SendMessageW(panel.Handle(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(robot.Seen().size(), 1u);
}

TEST_F(MessageDialogsTest, UnscriptedBoxIsStillDismissed) {
  EXPECT_EQ(MessageDlg("Continuer ?", TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo), mrYes);
  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_FALSE(robot.Seen()[0].scripted);
}

}  // namespace
}  // namespace patchpav
