// The correction run on a server base (the PostgreSQL server of the ODBC tests): the undo script
// it leaves, run by the server's own command-line tool, puts every amount back bit for bit.

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "correction/BackupJournal.h"
#include "correction/CorrectionHost.h"
#include "correction/CorrectionRun.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/drivers/odbc/OdbcDriver.h"
#include "engine/odbc/OdbcTestServers.h"
#include "engine/paradox/ParadoxTestSupport.h"
#include "support/FileBytes.h"
#include "support/SilentHost.h"
#include "support/TemporaryDirectory.h"

namespace patchpav {
namespace {

namespace fs = std::filesystem;
using Amounts7 = std::array<std::optional<double>, 7>;
using testing::OdbcServer;
constexpr std::nullopt_t kNull = std::nullopt;
const char kAlias[] = "UndoScriptBase";

using testing::SilentHost;

std::map<std::int64_t, Amounts7> AllAmounts(DriverConnection& connection) {
  const ResultSet result =
      connection
          .Prepare(
              "SELECT CPMain_ID, MontantSS1, MontantSS2, MontantSS3, MontantSS4, "
              "MontantSS5, MontantSS6, MontantSS7 FROM CPMAIN ORDER BY CPMain_ID")
          ->Open({});
  std::map<std::int64_t, Amounts7> amounts;
  for (const auto& row : result.rows) {
    Amounts7& a = amounts[row[0].AsInteger()];
    for (std::size_t i = 0; i < 7; ++i) {
      if (!row[i + 1].IsNull()) a[i] = row[i + 1].AsFloat();
    }
  }
  return amounts;
}

bool SameBits(const Amounts7& a, const Amounts7& b) {
  for (std::size_t i = 0; i < 7; ++i) {
    if (a[i].has_value() != b[i].has_value()) return false;
    if (a[i] && std::bit_cast<std::uint64_t>(*a[i]) != std::bit_cast<std::uint64_t>(*b[i]))
      return false;
  }
  return true;
}

TEST(CorrectionUndoScriptTest, RunningTheScriptPutsEveryAmountBackBitForBit) {
  if (testing::PostgresServerName().empty())
    GTEST_SKIP() << "no PostgreSQL server: run through scripts/test (scripts/postgres start)";
  const DriverParams params = testing::FreshDatabase(OdbcServer::Postgres, "pp_undo_script");
  OdbcDriver driver;
  const auto connection = driver.Connect(params);
  std::string create = "CREATE TABLE CPMAIN (CPMain_ID integer primary key, Libelle varchar(20)";
  for (int i = 1; i <= 7; ++i) create += ", MontantSS" + std::to_string(i) + " double precision";
  testing::RunStatement(*connection, create + ")");
  const std::map<std::int64_t, Amounts7> rows = {
      {3, {25, -18, 0, 0, 0, 0, 0}},
      {7, {-18, 30, -5, 0, 0, 0, kNull}},  // written in two sweeps
      {8, {-0.1, 0.2, kNull, kNull, kNull, kNull, 0.30000000000000004}},
      {9, {-100, 5, 6, 7, kNull, kNull, kNull}},
      {12, {-18.37, -3.3, -2.2, 1e-9, 18.37, 3.3, 1234567.891}},
      {13, {1e-300, -1e300, 123456789012345.67, kNull, 0.1, 2.5e-7, 9007199254740993.0}},
      {40, {0, 12, 0, 0, 0, 0, 0}},  // never written
  };
  const auto insert =
      connection->Prepare("INSERT INTO CPMAIN VALUES (:id, 'acte', :a, :b, :c, :d, :e, :f, :g)");
  for (const auto& [key, amounts] : rows) {
    std::vector<Value> values{Value::Integer(key)};
    for (const auto& a : amounts) values.push_back(a ? Value::Float(*a) : Value());
    insert->Execute(values);
  }
  const auto before = AllAmounts(*connection);

  const fs::path config = fs::path(::testing::TempDir()) / "pp_undo_script.cfg";
  fs::remove(config);
  Engine::Instance().SetConfigPath(config);
  Engine::Instance().RegisterDriver(std::make_shared<OdbcDriver>());
  std::vector<std::string> lines;
  for (const auto& [name, value] : params) lines.push_back(name + "=" + value);
  EngineSession().AddDriverAlias(kAlias, "MSSQL", lines);
  testing::TemporaryDirectory backups;
  int written = 0;
  {
    TDatabase database;
    TQuery select;
    TQuery update;
    database.SetDatabaseName(kAlias);
    database.SetConnected(true);
    select.SetDatabaseName(kAlias);
    update.SetDatabaseName(kAlias);
    BackupPlan plan;
    plan.parentFolder = [&] { return backups.Path(); };
    plan.folderName = [] { return std::string("20261208-154300"); };
    plan.undoScript = true;
    BackupJournal journal(plan);
    SilentHost host;
    written = RunCorrection(select, update, host, journal).rowsWritten;
    EXPECT_TRUE(host.warnings.empty());
  }
  const fs::path script = backups.Path() / "20261208-154300" / "annulation.sql";
  ASSERT_TRUE(fs::exists(script));
  // Some rows were written in more than one sweep: only newest first puts them back as they were.
  const std::string text = testing::FileBytes(script);
  int statements = 0;
  for (std::size_t at = 0; (at = text.find("UPDATE CPMAIN", at)) != std::string::npos; ++at) {
    ++statements;
  }
  EXPECT_EQ(written, statements);
  EXPECT_GT(written, 6);
  const auto corrected = AllAmounts(*connection);
  for (const auto& [key, amounts] : rows) {
    if (key == 40) continue;
    EXPECT_FALSE(SameBits(before.at(key), corrected.at(key))) << key;
  }

  const std::string command =
      "psql -X -q -v ON_ERROR_STOP=1 \"host=" + std::string(std::getenv("PATCHPAV_PG_HOST")) +
      " port=" + std::getenv("PATCHPAV_PG_PORT") + " user=" + std::getenv("PATCHPAV_PG_USER") +
      " dbname=pp_undo_script\" -f " + script.string();
  ASSERT_EQ(0, std::system(command.c_str())) << command;
  const auto undone = AllAmounts(*connection);
  for (const auto& [key, amounts] : before) {
    EXPECT_TRUE(SameBits(amounts, undone.at(key))) << key;
  }
}

}  // namespace
}  // namespace patchpav
