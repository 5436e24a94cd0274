// The engine asks for the login through the dialog when a connection's alias holds a user name.

#include "app/LoginPrompt.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Session.h"
#include "engine/core/Errors.h"
#include "engine/sql/LocalDriver.h"
#include "framework/LoginDialog.h"
#include "support/DialogRobot.h"
#include "support/ScratchDirectory.h"

namespace patchpav {
namespace {

using testing::DialogRobot;

class LoginDialogEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShutDown();
    Engine::Instance().SetConfigPath(dir_.Path() / "idapi.cfg");
    Engine::Instance().RegisterDriver(std::make_shared<sql::LocalDriver>());
    EngineSession().AddDriverAlias("Klinova_SQL", "STANDARD",
                                   {"PATH=" + dir_.Text(), "USER NAME=sa"});
    InstallLoginPrompt();
  }
  void TearDown() override {
    ShutDown();
    EngineSession().SetLoginCallback({});
  }
  static void ShutDown() {
    EngineSession().SetActive(false);
    while (Engine::Instance().Initialised()) Engine::Instance().Shutdown();
  }

  ScratchDirectory dir_;
  DialogRobot robot_;
};

TEST_F(LoginDialogEngineTest, AnnulerMakesTheOpeningFail) {
  robot_.Answer("Annuler");
  TDatabase database;
  database.SetDatabaseName("Klinova_SQL");
  std::string error;
  try {
    database.Open();
  } catch (const EDatabaseError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "Impossible de se connecter à la base de données 'Klinova_SQL'");
  EXPECT_FALSE(database.Connected());
  ASSERT_EQ(robot_.Seen().size(), 1u);
  EXPECT_EQ(robot_.Seen()[0].caption, "Connexion base de données");
  ASSERT_FALSE(robot_.Seen()[0].statics.empty());
  EXPECT_EQ(robot_.Seen()[0].statics[0], "Base de données : Klinova_SQL");
}

TEST_F(LoginDialogEngineTest, OkOpensWithWhatWasTyped) {
  robot_.AnswerTyping("OK", {{kLoginPasswordId, "secret"}});
  TDatabase database;
  database.SetDatabaseName("Klinova_SQL");
  database.Open();
  EXPECT_TRUE(database.Connected());
  EXPECT_EQ(database.OpenParams().at("USER NAME"), "sa");
  EXPECT_EQ(database.OpenParams().at("PASSWORD"), "secret");
  ASSERT_EQ(robot_.Seen().size(), 1u);
  ASSERT_FALSE(robot_.Seen()[0].edits.empty());
  EXPECT_EQ(robot_.Seen()[0].edits[0].text, "sa");
}

}  // namespace
}  // namespace patchpav
