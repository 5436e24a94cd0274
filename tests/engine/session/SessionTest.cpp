#include "engine/Session.h"

#include <gtest/gtest.h>

#include <fstream>

#include "EngineFixture.h"
#include "engine/Configuration.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/core/Errors.h"

namespace patchpav::test {
namespace {

// Runs the action and gives the EDatabaseError's text ("" when nothing was raised).
template <typename Action>
std::string ErrorOf(Action&& action) {
  try {
    action();
  } catch (const EDatabaseError& error) {
    return error.what();
  }
  return {};
}

class SessionTest : public EngineTest {};

TEST_F(SessionTest, DirectoriesMustExist) {
  TSession& session = EngineSession();
  const std::string missing = PathToUtf8(dir_.Path() / "missing");
  session.SetPrivateDir(PathToUtf8(dir_.Path()));
  EXPECT_EQ(session.PrivateDir(), PathToUtf8(dir_.Path()));
  EXPECT_EQ(ErrorOf([&] { session.SetPrivateDir(missing); }),
            "Le répertoire '" + missing + "' n'existe pas");
  EXPECT_EQ(session.PrivateDir(), PathToUtf8(dir_.Path())) << "a refused value leaves the old one";

  session.SetNetFileDir(PathToUtf8(dir_.Path()));
  EXPECT_EQ(session.NetFileDir(), PathToUtf8(dir_.Path()));
  EXPECT_NE(ErrorOf([&] { session.SetNetFileDir(missing); }), "");
  EXPECT_EQ(session.NetFileDir(), PathToUtf8(dir_.Path()));
  // A file is not a directory.
  std::ofstream(dir_.Path() / "file.txt") << "x";
  EXPECT_NE(ErrorOf([&] { session.SetPrivateDir(PathToUtf8(dir_.Path() / "file.txt")); }), "");
}

TEST_F(SessionTest, AliasesAreKeptInTheConfigurationFileAcrossRuns) {
  TSession& session = EngineSession();
  EXPECT_FALSE(session.AliasExists("Klinova_Paradox"));
  session.AddLocalAlias("Klinova_Paradox", "", "Paradox");
  session.AddDriverAlias(
      "Klinova_SQL", "MSSQL",
      {"USER NAME=sa", "BLOB SIZE=300", "BLOBS TO CACHE=10000", "LANGDRIVER=BLLT1FR0"});
  EXPECT_TRUE(session.AliasExists("klinova_paradox"));

  // A new run: the engine reads the file afresh.
  session.SetActive(false);
  EXPECT_TRUE(session.AliasExists("Klinova_Paradox"));
  EXPECT_EQ(session.AliasDriver("Klinova_Paradox"), "STANDARD");
  EXPECT_EQ(session.AliasLines("Klinova_Paradox"),
            (DriverParams{{"PATH", ""}, {"DEFAULT DRIVER", "Paradox"}}));
  EXPECT_EQ(session.AliasDriver("KLINOVA_SQL"), "MSSQL");
  EXPECT_EQ(session.AliasLines("Klinova_SQL"), (DriverParams{{"USER NAME", "sa"},
                                                             {"BLOB SIZE", "300"},
                                                             {"BLOBS TO CACHE", "10000"},
                                                             {"LANGDRIVER", "BLLT1FR0"}}));
  const Configuration onDisk = Configuration::Load(configPath_);
  EXPECT_EQ(onDisk.FieldValue("\\DATABASES\\Klinova_SQL\\DB INFO\\", "TYPE"), "MSSQL");
  EXPECT_EQ(onDisk.FieldValue("\\DATABASES\\Klinova_SQL\\DB OPEN\\", "USER NAME"), "sa");

  EXPECT_TRUE(session.DeleteAlias("klinova_sql"));
  EXPECT_FALSE(session.AliasExists("Klinova_SQL"));
  EXPECT_FALSE(session.DeleteAlias("Klinova_SQL"));
}

TEST_F(SessionTest, BadAliasDefinitionsAreRefusedWholly) {
  TSession& session = EngineSession();
  session.AddLocalAlias("Base", "C:\\Base\\", "Paradox");
  struct Case {
    std::string name;
    std::string driver;
    std::vector<std::string> lines;
    std::string error;
  };
  const Case cases[] = {
      {"Base", "STANDARD", {}, "L'alias 'Base' existe déjà"},
      {"BASE", "MSSQL", {}, "L'alias 'BASE' existe déjà"},
      {"", "STANDARD", {}, "Nom d'alias invalide : ''"},
      {"a\\b", "STANDARD", {}, "Nom d'alias invalide : 'a\\b'"},
      {"a]b", "STANDARD", {}, "Nom d'alias invalide : 'a]b'"},
      {"New", "", {}, "Pilote absent pour l'alias 'New'"},
      {"New",
       "MSSQL",
       {"USER NAME=sa", std::string(33, 'N') + "=1"},
       "Nom de paramètre de configuration invalide : '" + std::string(33, 'N') +
           "' (1 à 32 caractères, sans '=' ni saut de ligne)"},
      {"New", "MSSQL", {"=value"}, ""},
      {"New", "MSSQL", {"PATH=a\nb"}, ""},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorOf([&] { session.AddDriverAlias(c.name, c.driver, c.lines); });
    if (c.error.empty()) {
      EXPECT_NE(error, "") << c.name << " " << (c.lines.empty() ? "" : c.lines[0]);
    } else {
      EXPECT_EQ(error, c.error);
    }
  }
  EXPECT_FALSE(session.AliasExists("New"));
  session.AddDriverAlias("New", "MSSQL", {std::string(32, 'N') + "=1"});
  EXPECT_EQ(session.AliasLines("New").at(std::string(32, 'N')), "1");
}

TEST_F(SessionTest, OpeningNeedsAKnownAliasAndItsDriver) {
  TDatabase database;
  EXPECT_EQ(ErrorOf([&] { database.Open(); }), "Nom de base de données absent");
  database.SetDatabaseName("Nowhere");
  EXPECT_EQ(ErrorOf([&] { database.Open(); }), "Alias inconnu : 'Nowhere'");
  database.SetAliasName("AlsoNowhere");
  EXPECT_EQ(ErrorOf([&] { database.Open(); }), "Alias inconnu : 'AlsoNowhere'");

  EngineSession().AddDriverAlias("Remote", "NOSUCHDRIVER", {"USER NAME=sa"});
  database.SetAliasName("Remote");
  EXPECT_EQ(ErrorOf([&] { database.Open(); }),
            "Le pilote 'NOSUCHDRIVER' de l'alias 'Remote' n'est pas installé");
  EXPECT_FALSE(database.Connected());
  EXPECT_TRUE(database.LoginPrompt());
}

TEST_F(SessionTest, QueriesFindTheirConnectionByDatabaseName) {
  TQuery query;
  query.SetDatabaseName("Klinova_SQL");
  query.SQL().Add("SELECT * FROM VERSION");
  EXPECT_EQ(ErrorOf([&] { query.Open(); }), "Base de données inconnue : 'Klinova_SQL'");
  {
    TDatabase database;
    database.SetDatabaseName("klinova_sql");
    EXPECT_EQ(EngineSession().FindDatabase("Klinova_SQL"), &database);
    // Found, but its alias is not defined: the connection's own error comes through.
    EXPECT_EQ(ErrorOf([&] { query.Open(); }), "Alias inconnu : 'klinova_sql'");
  }
  EXPECT_EQ(EngineSession().FindDatabase("Klinova_SQL"), nullptr);
  EXPECT_EQ(ErrorOf([&] { query.ExecSQL(); }), "Base de données inconnue : 'Klinova_SQL'");
  EXPECT_EQ(ErrorOf([&] { query.FieldByName("VERSION"); }), "La requête n'est pas ouverte");
}

}  // namespace
}  // namespace patchpav::test
