// The correction run on a server base (the PostgreSQL server of the ODBC tests): the undo script
// it leaves, run by the server's own command-line tool, puts every amount back bit for bit, or
// nothing at all when a row has changed since the run.
//
// The script is T-SQL; PostgreSQL runs it once the few things T-SQL spells differently are
// translated (ForPostgres below). What the translation cannot show is SQL Server's own reading of
// the script: its float constants, XACT_ABORT, and RAISERROR after ROLLBACK.

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "correction/BackupJournal.h"
#include "correction/CorrectionHost.h"
#include "correction/CorrectionRun.h"
#include "correction/UndoScript.h"
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

// annulation.sql as PostgreSQL spells it, and nothing more:
// - a T-SQL float constant (9.15E0, -0E0) is PostgreSQL's float8 '9.15E0' (PostgreSQL reads
//   9.15E0 as a numeric, which has no negative zero);
// - SET XACT_ABORT ON and USE go: an error aborts a PostgreSQL transaction whole by itself, and
//   psql is already connected to the database;
// - the check of @@ROWCOUNT after an UPDATE becomes a PL/pgSQL block that looks at the UPDATE's
//   count and raises the same message (psql then stops, and the transaction is never
//   committed, as the T-SQL's ROLLBACK and RETURN make sure).
std::string ForPostgres(const std::string& tsql) {
  static const std::regex floatConstant(R"((-?[0-9]+(\.[0-9]+)?E-?[0-9]+))");
  static const std::regex check(R"(^IF @@ROWCOUNT <> 1 BEGIN ROLLBACK TRANSACTION; )"
                                R"(RAISERROR\(N'(.*)', 16, 1\); RETURN; END;$)");
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < tsql.size();) {
    const std::size_t end = tsql.find("\r\n", at);
    lines.push_back(tsql.substr(at, end - at));
    at = end == std::string::npos ? tsql.size() : end + 2;
  }
  std::string sql;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::smatch message;
    if (line == "SET XACT_ABORT ON;" || line.starts_with("USE [")) continue;
    if (line.starts_with("UPDATE ") && i + 1 < lines.size() &&
        std::regex_match(lines[i + 1], message, check)) {
      sql += "DO $$DECLARE n bigint; BEGIN " +
             std::regex_replace(line, floatConstant, "float8 '$1'") +
             " GET DIAGNOSTICS n = ROW_COUNT; IF n <> 1 THEN RAISE EXCEPTION USING MESSAGE = '" +
             message[1].str() + "'; END IF; END$$;\n";
      ++i;
      continue;
    }
    EXPECT_FALSE(line.starts_with("UPDATE ") || line.starts_with("IF ")) << line;
    sql += line + "\n";
  }
  return sql;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

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
      {14, {-0.0, -18, 1e21, std::numeric_limits<double>::max(), 9.15, kNull, -0.0}},
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
    plan.serverName = params.at("SERVER NAME");
    plan.databaseName = params.at("DATABASE NAME");
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

  EXPECT_NE(std::string::npos, text.find("SET XACT_ABORT ON;\r\nUSE [pp_undo_script];\r\n"));
  const fs::path translated = backups.Path() / "annulation.pg.sql";
  std::ofstream(translated, std::ios::binary) << ForPostgres(text);
  const fs::path errors = backups.Path() / "psql.err";
  const std::string command =
      "PGCLIENTENCODING=UTF8 psql -X -q -v ON_ERROR_STOP=1 \"host=" +
      std::string(std::getenv("PATCHPAV_PG_HOST")) + " port=" + std::getenv("PATCHPAV_PG_PORT") +
      " user=" + std::getenv("PATCHPAV_PG_USER") + " dbname=pp_undo_script\" -f " +
      translated.string() + " 2>" + errors.string();

  // Row 3 was written first, so it is put back last: a change made to it since the run stops the
  // restore after every other row was put back, and all of them stay as the run left them.
  testing::RunStatement(*connection, "UPDATE CPMAIN SET MontantSS1 = 1 WHERE CPMain_ID = 3");
  auto changed = corrected;
  changed.at(3)[0] = 1.0;
  EXPECT_NE(0, std::system(command.c_str())) << command;
  EXPECT_NE(std::string::npos, ReadText(errors).find("l'enregistrement CPMAIN_ID=3 a été modifié"))
      << ReadText(errors);
  const auto refused = AllAmounts(*connection);
  for (const auto& [key, amounts] : changed) {
    EXPECT_TRUE(SameBits(amounts, refused.at(key))) << key;
  }

  // Once the row holds again what the run wrote, the script puts everything back.
  testing::RunStatement(*connection,
                        "UPDATE CPMAIN SET MontantSS1 = " + FloatLiteral(*corrected.at(3)[0]) +
                            " WHERE CPMain_ID = 3");
  ASSERT_EQ(0, std::system(command.c_str())) << command << "\n" << ReadText(errors);
  const auto undone = AllAmounts(*connection);
  for (const auto& [key, amounts] : before) {
    EXPECT_TRUE(SameBits(amounts, undone.at(key))) << key;
  }
}

}  // namespace
}  // namespace patchpav
