#include "framework/LoginDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/DialogRobot.h"

namespace patchpav {
namespace {

using testing::DialogRobot;
using testing::SeenDialog;

const SeenDialog::Edit* EditOf(const SeenDialog& seen, int id) {
  for (const SeenDialog::Edit& edit : seen.edits) {
    if (edit.id == id) return &edit;
  }
  return nullptr;
}

TEST(LoginDialogTest, ShowsTheDatabaseAndUserNameWithAnEmptyPassword) {
  DialogRobot robot;
  robot.Answer("Annuler");
  EXPECT_FALSE(ShowLoginDialog("Klinova_SQL", "sa"));

  ASSERT_EQ(robot.Seen().size(), 1u);
  const SeenDialog& seen = robot.Seen()[0];
  EXPECT_EQ(seen.caption, "Connexion base de données");
  EXPECT_EQ(seen.statics, (std::vector<std::string>{"Base de données : Klinova_SQL",
                                                    "Nom d'utilisateur :", "Mot de passe :"}));
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"OK", "Annuler"}));
  const SeenDialog::Edit* user = EditOf(seen, kLoginUserNameId);
  const SeenDialog::Edit* password = EditOf(seen, kLoginPasswordId);
  ASSERT_TRUE(user && password);
  EXPECT_EQ(user->text, "sa");
  EXPECT_FALSE(user->password);
  EXPECT_EQ(user->limit, 31);
  EXPECT_EQ(password->text, "");
  EXPECT_TRUE(password->password);
  EXPECT_EQ(password->limit, 31);
}

TEST(LoginDialogTest, AnswersAsTyped) {
  const std::string long40(40, 'x');
  struct Case {
    const char* what;
    std::string button;
    std::vector<std::pair<int, std::string>> typed;
    std::optional<LoginEntry> expected;
  };
  const std::vector<Case> cases = {
      {"OK with a password", "OK", {{kLoginPasswordId, "s3cret é"}}, LoginEntry{"sa", "s3cret é"}},
      {"OK with the user name changed",
       "OK",
       {{kLoginUserNameId, "alice"}, {kLoginPasswordId, "pw"}},
       LoginEntry{"alice", "pw"}},
      {"OK with nothing typed", "OK", {}, LoginEntry{"sa", ""}},
      {"typing stops at 31 characters",
       "OK",
       {{kLoginUserNameId, long40}, {kLoginPasswordId, long40}},
       LoginEntry{std::string(31, 'x'), std::string(31, 'x')}},
      {"Annuler after typing", "Annuler", {{kLoginPasswordId, "pw"}}, std::nullopt},
  };
  for (const Case& c : cases) {
    DialogRobot robot;
    robot.AnswerTyping(c.button, c.typed);
    std::optional<LoginEntry> entry = ShowLoginDialog("Klinova_SQL", "sa");
    ASSERT_EQ(robot.Seen().size(), 1u) << c.what;
    EXPECT_TRUE(robot.Seen()[0].scripted) << c.what;
    ASSERT_EQ(entry.has_value(), c.expected.has_value()) << c.what;
    if (entry) {
      EXPECT_EQ(entry->userName, c.expected->userName) << c.what;
      EXPECT_EQ(entry->password, c.expected->password) << c.what;
    }
  }
}

// The dialog manager's keyboard handling: Enter is the default button OK, Escape is Annuler.
TEST(LoginDialogTest, EnterIsOkAndEscapeIsAnnuler) {
  {
    DialogRobot robot;
    robot.AnswerKey(VK_RETURN, {{kLoginPasswordId, "pw"}});
    std::optional<LoginEntry> entry = ShowLoginDialog("Klinova_SQL", "sa");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->userName, "sa");
    EXPECT_EQ(entry->password, "pw");
  }
  {
    DialogRobot robot;
    robot.AnswerKey(VK_ESCAPE, {{kLoginPasswordId, "pw"}});
    EXPECT_FALSE(ShowLoginDialog("Klinova_SQL", "sa"));
  }
}

}  // namespace
}  // namespace patchpav
