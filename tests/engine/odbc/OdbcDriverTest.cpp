#include "engine/drivers/odbc/OdbcDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <regex>
#include <set>

#include "OdbcTestServers.h"
#include "correction/RedistributeNegativeAmount.h"
#include "engine/core/EngineIdle.h"
#include "engine/core/Errors.h"

namespace patchpav::testing {
namespace {

// The tool's statements, exactly as it writes them.
const std::string kSelection =
    "SELECT \n  *\nFROM CPMAIN\nWHERE \n  MontantSS1 < 0\n  OR MontantSS2 < 0\n  OR MontantSS3 < "
    "0\n  OR MontantSS4 < 0\n  OR MontantSS5 < 0\n  OR MontantSS6 < 0\n  OR MontantSS7 < 0\nORDER "
    "BY CPMain_ID";
const std::string kWrite =
    "UPDATE CPMain\nSET \n  MontantSS1 = :montantSS1,\n  MontantSS2 = :montantSS2,\n  MontantSS3 "
    "= :montantSS3,\n  MontantSS4 = :montantSS4,\n  MontantSS5 = :montantSS5,\n  MontantSS6 = "
    ":montantSS6,\n  MontantSS7 = :montantSS7\nWhere CPMain_ID = :cpmain_id";
const std::string kVersion = "SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"";

constexpr double kNull = -1e300;  // marks an amount stored as NULL in the case tables

struct Row {
  std::int64_t id;
  std::array<double, 7> amounts;  // kNull for a value-less amount
};

std::string CreateCpmain(const std::string& constraint = "") {
  std::string sql = "CREATE TABLE CPMAIN (CPMain_ID integer primary key, Patient varchar(40)";
  for (int i = 1; i <= 7; ++i) sql += ", MontantSS" + std::to_string(i) + " double precision";
  sql += ", DateActe varchar(10)";
  if (!constraint.empty()) sql += ", " + constraint;
  return sql + ")";
}

void Insert(DriverConnection& connection, const std::vector<Row>& rows) {
  const auto insert = connection.Prepare(
      "INSERT INTO CPMAIN (CPMain_ID, Patient, MontantSS1, MontantSS2, MontantSS3, MontantSS4, "
      "MontantSS5, MontantSS6, MontantSS7, DateActe) VALUES (:id, :patient, :m1, :m2, :m3, :m4, "
      ":m5, :m6, :m7, '2008-03-01')");
  for (const Row& row : rows) {
    std::vector<Value> values{Value::Integer(row.id), Value::Text("Hélène Dupré €")};
    for (double a : row.amounts) values.push_back(a == kNull ? Value() : Value::Float(a));
    insert->Execute(values);
  }
}

std::size_t Column(const ResultSet& result, const std::string& name) {
  for (std::size_t i = 0; i < result.columns.size(); ++i) {
    std::string a = result.columns[i], b = name;
    std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return std::tolower(c); });
    std::transform(b.begin(), b.end(), b.begin(), [](unsigned char c) { return std::tolower(c); });
    if (a == b) return i;
  }
  ADD_FAILURE() << "no column " << name;
  return 0;
}

Amounts AmountsOf(const ResultSet& result, const std::vector<Value>& row) {
  Amounts amounts;
  for (int i = 0; i < 7; ++i)
    amounts[i] = row[Column(result, "MontantSS" + std::to_string(i + 1))].AsFloat();
  return amounts;
}

// The tool's run: select the negative rows, correct each with the rule, write it with the
// prepared UPDATE, select again until none is left. Returns the keys whose write failed, with
// the error texts.
std::vector<std::pair<std::int64_t, std::string>> CorrectionRun(DriverConnection& connection) {
  const auto selection = connection.Prepare(kSelection);
  const auto write = connection.Prepare(kWrite);
  EXPECT_EQ(selection->ParameterCount(), 0u);
  EXPECT_EQ(write->ParameterCount(), 8u);
  std::vector<std::pair<std::int64_t, std::string>> failures;
  std::set<std::int64_t> failed;
  for (int sweep = 0; sweep < 7; ++sweep) {
    const ResultSet result = selection->Open({});
    bool anyWritten = false;
    for (const auto& row : result.rows) {
      const Redistribution fix = RedistributeNegativeAmount(AmountsOf(result, row));
      const std::int64_t id = row[Column(result, "CPMain_ID")].AsInteger();
      if (fix.outcome != RedistributionOutcome::Redistributed || failed.contains(id)) continue;
      std::vector<Value> parameters;
      for (double a : fix.corrected) parameters.push_back(Value::Float(a));
      parameters.push_back(Value::Integer(id));
      try {
        EXPECT_EQ(write->Execute(parameters), 1);
        anyWritten = true;
      } catch (const EDatabaseError& e) {
        failures.emplace_back(id, e.what());
        failed.insert(id);
      }
    }
    if (!anyWritten) return failures;
  }
  ADD_FAILURE() << "the run did not end within seven sweeps";
  return failures;
}

std::map<std::int64_t, Amounts> AllRows(DriverConnection& connection) {
  const ResultSet result = connection.Prepare("SELECT * FROM CPMAIN ORDER BY CPMain_ID")->Open({});
  std::map<std::int64_t, Amounts> rows;
  for (const auto& row : result.rows)
    rows[row[Column(result, "CPMain_ID")].AsInteger()] = AmountsOf(result, row);
  return rows;
}

// The rule applied until nothing is negative, as the repeated sweeps do.
Amounts Settled(Amounts amounts) {
  for (;;) {
    const Redistribution fix = RedistributeNegativeAmount(amounts);
    if (fix.outcome != RedistributionOutcome::Redistributed) return amounts;
    amounts = fix.corrected;
  }
}

void ExpectSameBits(const Amounts& expected, const Amounts& actual, std::int64_t id) {
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(expected[i]), std::bit_cast<std::uint64_t>(actual[i]))
        << "row " << id << " MontantSS" << i + 1 << ": expected " << expected[i] << ", got "
        << actual[i];
  }
}

Amounts AsRead(const Row& row) {
  Amounts amounts;
  for (int i = 0; i < 7; ++i) amounts[i] = row.amounts[i] == kNull ? 0.0 : row.amounts[i];
  return amounts;
}

// SQLite's ODBC driver carries a double parameter to SQLite through text of too few digits
// (12.870000000000001 is stored as 12.87), which is the peer's limit, not ours. For that peer
// the expected amounts are what the driver itself stores for them, so the comparison stays exact.
Amounts StoredByPeer(DriverConnection& connection, OdbcServer server, const Amounts& amounts) {
  if (server != OdbcServer::Sqlite) return amounts;
  RunStatement(connection, "DELETE FROM PEER");
  std::vector<Value> values;
  for (double a : amounts) values.push_back(Value::Float(a));
  connection.Prepare("INSERT INTO PEER VALUES (:a, :b, :c, :d, :e, :f, :g)")->Execute(values);
  const ResultSet result = connection.Prepare("SELECT * FROM PEER")->Open({});
  Amounts stored;
  for (int i = 0; i < 7; ++i) stored[i] = result.rows.at(0)[i].AsFloat();
  return stored;
}

class OdbcServerTest : public ::testing::TestWithParam<OdbcServer> {
 protected:
  void SetUp() override {
    if (GetParam() == OdbcServer::Postgres && PostgresServerName().empty())
      GTEST_SKIP() << "no PostgreSQL server: run through scripts/test (scripts/postgres start)";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("t_") + info->name();
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? std::tolower(c) : '_';
    params_ = FreshDatabase(GetParam(), name);
    connection_ = driver_.Connect(params_);
  }

  OdbcDriver driver_;
  DriverParams params_;
  std::unique_ptr<DriverConnection> connection_;
};

TEST_P(OdbcServerTest, CorrectionRunSettlesEveryRow) {
  const std::vector<Row> rows = {
      {3, {25, -18, 0, 0, 0, 0, 0}},
      {1, {-18, 30, -5, 0, 0, 0, 0}},
      {2, {10, 20, 30, 40, 50, 60, 70}},  // nothing negative: never written
      {7, {kNull, -18, kNull, 20.5, kNull, kNull, kNull}},
      {8, {-0.1, 0.2, kNull, kNull, kNull, kNull, 0.3}},
      {9, {-100, 5, 6, 7, kNull, kNull, kNull}},  // more owed than the row holds
      {12, {-18.37, -3.3, -2.2, 1e-9, 18.37, 3.3, 1234567.891}},
  };
  RunStatement(*connection_, CreateCpmain());
  Insert(*connection_, rows);

  const ResultSet first = connection_->Prepare(kSelection)->Open({});
  ASSERT_EQ(first.rows.size(), 6u);
  EXPECT_EQ(first.rows[0][Column(first, "CPMain_ID")], Value::Integer(1));
  EXPECT_EQ(first.rows[2][Column(first, "MontantSS1")], Value()) << "a NULL amount reads as null";
  EXPECT_EQ(first.rows[2][Column(first, "MontantSS2")], Value::Float(-18));
  EXPECT_EQ(first.rows[0][Column(first, "Patient")], Value::Text("Hélène Dupré €"));

  EXPECT_TRUE(CorrectionRun(*connection_).empty());
  const auto after = AllRows(*connection_);
  ASSERT_EQ(after.size(), rows.size());
  RunStatement(*connection_,
               "CREATE TABLE PEER (A double precision, B double precision, C double "
               "precision, D double precision, E double precision, F double "
               "precision, G double precision)");
  for (const Row& row : rows) {
    const Amounts expected = StoredByPeer(*connection_, GetParam(), Settled(AsRead(row)));
    ExpectSameBits(expected, after.at(row.id), row.id);
  }
  // The rule's own examples, written out.
  ExpectSameBits({7, 0, 0, 0, 0, 0, 0}, after.at(3), 3);
  ExpectSameBits({0, 7, 0, 0, 0, 0, 0}, after.at(1), 1);
  EXPECT_TRUE(connection_->Prepare(kSelection)->Open({}).rows.empty());
}

TEST_P(OdbcServerTest, RefusedWriteIsReportedAndOtherRowsAreCorrected) {
  // The server refuses any write that would leave row 5 without a negative first amount.
  RunStatement(*connection_,
               CreateCpmain("CONSTRAINT KeepFive CHECK (CPMain_ID <> 5 OR MontantSS1 < 0)"));
  Insert(*connection_, {{4, {-18, 25, 0, 0, 0, 0, 0}},
                        {5, {-18, 25, 0, 0, 0, 0, 0}},
                        {6, {-18, 25, 0, 0, 0, 0, 0}}});
  const auto failures = CorrectionRun(*connection_);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].first, 5);
  // The driver's own diagnostic reaches the message: its SQLSTATE and the constraint's name.
  EXPECT_TRUE(std::regex_search(failures[0].second, std::regex("\\[[0-9A-Z]{5}\\] ")))
      << failures[0].second;
  std::string lower = failures[0].second;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  EXPECT_NE(lower.find("keepfive"), std::string::npos) << failures[0].second;
  const auto after = AllRows(*connection_);
  ExpectSameBits({0, 7, 0, 0, 0, 0, 0}, after.at(4), 4);
  ExpectSameBits({-18, 25, 0, 0, 0, 0, 0}, after.at(5), 5);
  ExpectSameBits({0, 7, 0, 0, 0, 0, 0}, after.at(6), 6);
}

TEST_P(OdbcServerTest, VersionQueryReadsTheDoubleQuotedModule) {
  RunStatement(*connection_, "CREATE TABLE VERSION (MODULE varchar(20), VERSION integer)");
  RunStatement(*connection_, "INSERT INTO VERSION VALUES ('CLIENT', 512)");
  RunStatement(*connection_, "INSERT INTO VERSION VALUES ('DATABASE', 430)");
  RunStatement(*connection_, "INSERT INTO VERSION VALUES ('it''s \"DATABASE\"', 999)");
  const ResultSet result = connection_->Prepare(kVersion)->Open({});
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][Column(result, "VERSION")], Value::Integer(430));
  // A double-quoted text holding a single quote and a doubled double quote.
  const ResultSet odd =
      connection_->Prepare("SELECT VERSION FROM VERSION WHERE MODULE = \"it's \"\"DATABASE\"\"\"")
          ->Open({});
  ASSERT_EQ(odd.rows.size(), 1u);
  EXPECT_EQ(odd.rows[0][0], Value::Integer(999));
}

TEST_P(OdbcServerTest, ParametersKeepTheirKindAcrossRuns) {
  RunStatement(*connection_, "CREATE TABLE T (K integer, X double precision, S varchar(4000))");
  const auto insert = connection_->Prepare("INSERT INTO T (K, X, S) VALUES (:k, :x, :s)");
  ASSERT_EQ(insert->ParameterCount(), 3u);
  const std::vector<std::vector<Value>> runs = {
      {Value::Integer(1), Value::Float(0.1), Value::Text("a")},
      {Value::Integer(2), Value(), Value::Text("déjà vu 😀 — ' \" : fin")},
      {Value::Integer(3), Value::Float(-1e-300), Value()},
      {Value::Integer(4), Value::Float(2.5), Value::Text(std::string(3000, 'z'))},
  };
  for (const auto& run : runs) EXPECT_EQ(insert->Execute(run), 1);
  const ResultSet result = connection_->Prepare("SELECT K, X, S FROM T ORDER BY K")->Open({});
  ASSERT_EQ(result.rows.size(), runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(result.rows[i], runs[i]) << "row " << i;

  const auto update = connection_->Prepare("UPDATE T SET X = :x WHERE K > :k");
  EXPECT_EQ(update->Execute(std::vector<Value>{Value::Float(1), Value::Integer(2)}), 2);
  EXPECT_EQ(update->Execute(std::vector<Value>{Value::Float(1), Value::Integer(99)}), 0);
  EXPECT_THROW(update->Execute(std::vector<Value>{Value::Float(1)}), EDatabaseError);
}

// A large table from a server takes seconds to fetch: the application's window is answered
// between its rows, not only once they are all in.
TEST_P(OdbcServerTest, TheIdleCallbackRunsWhileRowsAreFetched) {
  RunStatement(*connection_, "CREATE TABLE T (K integer)");
  const auto insert = connection_->Prepare("INSERT INTO T (K) VALUES (:k)");
  constexpr int kRows = 40;
  for (int k = 0; k < kRows; ++k) insert->Execute(std::vector<Value>{Value::Integer(k)});
  int calls = 0;
  ScopedIdleCallback idle([&] { ++calls; }, std::chrono::milliseconds(0));
  EXPECT_EQ(connection_->Prepare("SELECT K FROM T")->Open({}).rows.size(), std::size_t{kRows});
  EXPECT_GE(calls, kRows);
}

TEST_P(OdbcServerTest, FaultsAreDatabaseErrorsWithTheDriversText) {
  const auto expectError = [&](const std::string& sql) {
    try {
      connection_->Prepare(sql)->Open({});
      ADD_FAILURE() << "no error for " << sql;
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find("["), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("]"), std::string::npos) << e.what();
    }
  };
  expectError("SELECT * FROM NOSUCHTABLE");
  expectError("SELEKT 1");
  RunStatement(*connection_, CreateCpmain());
  expectError("SELECT NoSuchColumn FROM CPMAIN");
}

TEST_P(OdbcServerTest, StatementOutlivingItsConnectionReportsIt) {
  RunStatement(*connection_, CreateCpmain());
  const auto statement = connection_->Prepare(kSelection);
  connection_.reset();
  EXPECT_THROW(statement->Open({}), EDatabaseError);
}

INSTANTIATE_TEST_SUITE_P(Servers, OdbcServerTest,
                         ::testing::Values(OdbcServer::Sqlite, OdbcServer::Postgres),
                         [](const auto& info) { return ServerName(info.param); });

}  // namespace
}  // namespace patchpav::testing
