#include "engine/drivers/odbc/ConnectionString.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "OdbcTestServers.h"
#include "engine/core/Errors.h"
#include "engine/drivers/odbc/OdbcDriver.h"

namespace patchpav::odbc {
namespace {

using patchpav::testing::FreshDatabase;
using patchpav::testing::OdbcServer;
using patchpav::testing::PostgresOdbcDriver;
using patchpav::testing::PostgresServerName;
using patchpav::testing::RunStatement;
using patchpav::testing::SqliteOdbcDriver;

TEST(ConnectionString, AttributesPerDriverFamily) {
  struct Case {
    std::string driver;
    DriverParams params;
    std::string expected;
  };
  const DriverParams server = {{"SERVER NAME", "POSTE1\\SQLEXPRESS"},
                               {"DATABASE NAME", "KLINOVA"},
                               {"USER NAME", "sa"},
                               {"PASSWORD", "tovrak"},
                               {"BLOB SIZE", "300"},
                               {"LANGDRIVER", "BLLT1FR0"}};
  DriverParams trusted = server;
  trusted["USER NAME"] = "";
  DriverParams encrypted = server;
  encrypted["ENCRYPT"] = "yes";
  encrypted["TRUST SERVER CERTIFICATE"] = "yes";
  const Case cases[] = {
      {"SQL Server", server,
       "DRIVER={SQL "
       "Server};Server=POSTE1\\SQLEXPRESS;Database=KLINOVA;UID=sa;PWD=tovrak;"},
      {"ODBC Driver 17 for SQL Server", trusted,
       "DRIVER={ODBC Driver 17 for SQL Server};Server=POSTE1\\SQLEXPRESS;Database=KLINOVA;"
       "Trusted_Connection=yes;"},
      {"ODBC Driver 18 for SQL Server", server,
       "DRIVER={ODBC Driver 18 for SQL Server};Server=POSTE1\\SQLEXPRESS;Database=KLINOVA;"
       "UID=sa;PWD=tovrak;Encrypt=Optional;"},
      {"ODBC Driver 18 for SQL Server", encrypted,
       "DRIVER={ODBC Driver 18 for SQL Server};Server=POSTE1\\SQLEXPRESS;Database=KLINOVA;"
       "UID=sa;PWD=tovrak;Encrypt=yes;TrustServerCertificate=yes;"},
      {"ODBC Driver 17 for SQL Server",
       DriverParams{{"SERVER NAME", "srv;Database=other"},
                    {"DATABASE NAME", " a}b{c"},
                    {"USER NAME", "sa"},
                    {"PASSWORD", "p;}"}},
       "DRIVER={ODBC Driver 17 for SQL Server};Server={srv;Database=other};Database={ a}}b{c};"
       "UID=sa;PWD={p;}}};"},
      {"PostgreSQL Unicode",
       {{"SERVER NAME", "127.0.0.1,54329"}, {"DATABASE NAME", "db"}, {"USER NAME", "u"}},
       "DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=54329;Database=db;UID=u;"},
      {"/usr/lib/odbc/psqlodbcw.so",
       {{"SERVER NAME", "host"}, {"PASSWORD", "p=w d"}},
       "DRIVER={/usr/lib/odbc/psqlodbcw.so};Server=host;PWD=p=w d;"},
      {"SQLite3", DriverParams{{"SERVER NAME", "ignored"}, {"DATABASE NAME", "/tmp/a b=c.db"}},
       "DRIVER={SQLite3};Database=/tmp/a b=c.db;"},
      {"Some}Driver",
       {{"DATABASE NAME", "x;Database=other"}, {"USER NAME", "u"}},
       "DRIVER={Some}}Driver};Database={x;Database=other};UID=u;"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildConnectionString(c.driver, c.params), c.expected);
  EXPECT_THROW(BuildConnectionString("SQL Server", {{"SERVER NAME", std::string("a\0b", 3)}}),
               EDatabaseError);
  for (const std::string bad : {"a;b", "a{b", "a}b", " a", "a "}) {
    EXPECT_THROW(BuildConnectionString("SQLite3", {{"DATABASE NAME", bad}}), EDatabaseError) << bad;
    EXPECT_THROW(BuildConnectionString("PostgreSQL ANSI", {{"USER NAME", bad}}), EDatabaseError)
        << bad;
    try {
      BuildConnectionString("PostgreSQL ANSI",
                            {{"PASSWORD", bad.substr(0, 1) + "secret" + bad.substr(1)}});
      ADD_FAILURE() << "password accepted: " << bad;
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()).find("secret"), std::string::npos) << e.what();
    }
  }
}

TEST(ChooseSqlServerDriver, NewestInstalledFirst) {
  using Names = std::vector<std::string>;
  const std::pair<Names, std::string> cases[] = {
      {{}, ""},
      {{"PostgreSQL Unicode", "SQLite3"}, ""},
      {{"SQL Server", "SQL Server Native Client 10.0", "PostgreSQL Unicode"},
       "SQL Server Native Client 10.0"},
      {{"SQL Server", "ODBC Driver 17 for SQL Server", "SQL Server Native Client 11.0",
        "ODBC Driver 13 for SQL Server"},
       "ODBC Driver 17 for SQL Server"},
      {{"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"},
       "ODBC Driver 18 for SQL Server"},
      {{"ODBC Driver 18 for SQL Server", "ODBC Driver 19 for SQL Server"},
       "ODBC Driver 19 for SQL Server"},
      {{"sql server"}, "sql server"},
  };
  for (const auto& [installed, expected] : cases)
    EXPECT_EQ(ChooseSqlServerDriver(installed), expected) << ::testing::PrintToString(installed);
}

// Without ODBC DRIVER the driver takes the newest SQL Server driver the driver manager lists. A
// private odbcinst.ini registers SQLite's driver under two SQL Server names, so the choice is seen
// on a real connection: the newer name is the one whose library works.
TEST(OdbcDriver, ChoosesTheNewestRegisteredSqlServerDriver) {
  const std::filesystem::path dir = std::filesystem::absolute("choice-odbcinst");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "odbcinst.ini")
      << "[SQL Server Native Client 11.0]\nDriver=/nonexistent.so\n"
      << "[ODBC Driver 17 for SQL Server]\nDriver=" << SqliteOdbcDriver() << "\n";
  ASSERT_EQ(setenv("ODBCSYSINI", dir.c_str(), 1), 0);
  OdbcDriver driver;
  DriverParams params = driver.DefaultParams();
  params["DATABASE NAME"] = (dir / "chosen.sqlite").string();
  params["USER NAME"] = "sa";
  RunStatement(*driver.Connect(params), "CREATE TABLE CHOSEN (A integer)");
  EXPECT_TRUE(std::filesystem::exists(dir / "chosen.sqlite"));

  std::ofstream(dir / "odbcinst.ini") << "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n";
  try {
    driver.Connect(params);
    ADD_FAILURE() << "connected without a SQL Server driver";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Aucun pilote ODBC pour SQL Server n'est installé sur cet ordinateur");
  }
}

// A hostile name must reach exactly that name or be refused: never another database. These
// drivers do not read braced values, so a name that holds ";", "{" or "}" is refused before any
// connection is tried; any other name reaches exactly that file or database.
enum class Outcome { Reached, Refused };

void ExpectRefusal(const std::string& name, const EDatabaseError& e) {
  EXPECT_NE(std::string(e.what()).find("Paramètre de connexion"), std::string::npos)
      << name << ": " << e.what();
}

TEST(OdbcDriver, SqliteNamesAreTakenWhole) {
  OdbcDriver driver;
  const std::filesystem::path dir = std::filesystem::absolute("hostile-sqlite");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string other = (dir / "other.sqlite").string();
  const std::pair<std::string, Outcome> cases[] = {
      {"x;Database=" + other, Outcome::Refused}, {"y;Database=other.sqlite", Outcome::Refused},
      {"a}b{c.sqlite", Outcome::Refused},        {"{x}.sqlite", Outcome::Refused},
      {"sp ace=x.sqlite", Outcome::Reached},     {"plain.sqlite", Outcome::Reached},
  };
  for (const auto& [name, outcome] : cases) {
    DriverParams params = driver.DefaultParams();
    params["ODBC DRIVER"] = SqliteOdbcDriver();
    params["DATABASE NAME"] = (dir / name).string();
    try {
      RunStatement(*driver.Connect(params), "CREATE TABLE MARK (A integer)");
      EXPECT_EQ(outcome, Outcome::Reached) << name;
      EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(outcome, Outcome::Refused) << name << ": " << e.what();
      ExpectRefusal(name, e);
    }
    EXPECT_FALSE(std::filesystem::exists(other)) << name;
    EXPECT_FALSE(std::filesystem::exists("other.sqlite")) << name;
  }
}

TEST(OdbcDriver, PostgresNamesAreTakenWhole) {
  if (PostgresServerName().empty()) GTEST_SKIP() << "no PostgreSQL server: run scripts/test";
  OdbcDriver driver;
  FreshDatabase(OdbcServer::Postgres, "other");
  const DriverParams target = FreshDatabase(OdbcServer::Postgres, "hostile_target");
  // Names that need quoting: created with psql, which the double-quote rewriting does not touch.
  const std::string psql = std::string("psql -q -h ") + std::getenv("PATCHPAV_PG_HOST") + " -p " +
                           std::getenv("PATCHPAV_PG_PORT") + " -U " +
                           std::getenv("PATCHPAV_PG_USER") + " -d postgres";
  for (const std::string name : {"a}b{c", "x;Database=other", "sp ace=x"}) {
    const std::string command = psql + " -c 'DROP DATABASE IF EXISTS \"" + name +
                                "\"' -c 'CREATE DATABASE \"" + name + "\"' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << name;
  }
  const std::pair<std::string, Outcome> cases[] = {
      {"a}b{c", Outcome::Refused},
      {"x;Database=other", Outcome::Refused},
      {"hostile_target;Database=other", Outcome::Refused},
      {" hostile_target", Outcome::Refused},
      {"sp ace=x", Outcome::Reached},
      {"hostile_target", Outcome::Reached},
  };
  for (const auto& [name, outcome] : cases) {
    DriverParams params = target;
    params["DATABASE NAME"] = name;
    try {
      const auto connection = driver.Connect(params);
      EXPECT_EQ(outcome, Outcome::Reached) << name;
      const ResultSet result = connection->Prepare("SELECT current_database()")->Open({});
      ASSERT_EQ(result.rows.size(), 1u);
      EXPECT_EQ(result.rows[0][0], Value::Text(name));
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(outcome, Outcome::Refused) << name << ": " << e.what();
      ExpectRefusal(name, e);
    }
  }
  DriverParams params = target;
  params["SERVER NAME"] = std::string(std::getenv("PATCHPAV_PG_HOST")) + ";Database=other," +
                          std::getenv("PATCHPAV_PG_PORT");
  try {
    driver.Connect(params);
    ADD_FAILURE() << "a server name holding ';' was accepted";
  } catch (const EDatabaseError& e) {
    ExpectRefusal(params["SERVER NAME"], e);
  }
}

}  // namespace
}  // namespace patchpav::odbc
