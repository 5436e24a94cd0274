// The correction run through the MSSQL driver against the PostgreSQL server of the ODBC tests,
// for what only a real server does: drop the connection in the middle of a run, and refuse a
// login the right to change the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunTestSupport.h"
#include "correction/CorrectionRun.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/drivers/odbc/OdbcDriver.h"
#include "engine/odbc/OdbcTestServers.h"

namespace patchpav::testing {
namespace {

const char kAlias[] = "CorrectionRunServer";
const char kReader[] = "pp_reader_only";

std::string CreateCpmain() {
  std::string sql = "CREATE TABLE CPMAIN (CPMain_ID integer primary key";
  for (int i = 1; i <= 7; ++i) sql += ", MontantSS" + std::to_string(i) + " double precision";
  return sql + ")";
}

class CorrectionRunServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PostgresServerName().empty()) {
      GTEST_SKIP() << "no PostgreSQL server: run through scripts/test (scripts/postgres start)";
    }
    UseTestEngineConfig();
    Engine::Instance().RegisterDriver(std::make_unique<OdbcDriver>());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("r_") + info->name();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    params_ = FreshDatabase(OdbcServer::Postgres, name);
    admin_ = OdbcDriver().Connect(params_);
    RunStatement(*admin_, CreateCpmain());
  }
  void TearDown() override {
    database_.SetConnected(false);
    if (EngineSession().AliasExists(kAlias)) EngineSession().DeleteAlias(kAlias);
  }

  // Rows 1 to count, each owing 18 on an act of 25.
  void InsertRows(int count) {
    for (int key = 1; key <= count; ++key) {
      RunStatement(*admin_, "INSERT INTO CPMAIN VALUES (" + std::to_string(key) +
                                ", 25, -18, 0, 0, 0, 0, 0)");
    }
  }

  // Connects the run's database as `user` (the test's own when empty).
  void Connect(const std::string& user = "") {
    std::vector<std::string> lines;
    for (const auto& [name, value] : params_) {
      lines.push_back(name + "=" + (name == "USER NAME" && !user.empty() ? user : value));
    }
    EngineSession().AddDriverAlias(kAlias, "MSSQL", lines);
    database_.SetDatabaseName(kAlias);
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
  }

  std::string RunStopped(RecordingHost& host, std::size_t& rowsNotCorrected) {
    try {
      RunCorrection(select_, update_, host);
      ADD_FAILURE() << "the run did not stop";
    } catch (const ECorrectionStopped& e) {
      rowsNotCorrected = e.RowsNotCorrected();
      return e.what();
    }
    return {};
  }

  // The first amount of each row, by key order, as the server holds it.
  std::vector<double> FirstAmounts() {
    const ResultSet result =
        admin_->Prepare("SELECT MontantSS1 FROM CPMAIN ORDER BY CPMain_ID")->Open({});
    std::vector<double> amounts;
    for (const auto& row : result.rows) amounts.push_back(row[0].AsFloat());
    return amounts;
  }

  DriverParams params_;
  std::unique_ptr<DriverConnection> admin_;  // a second connection, the test's own
  TDatabase database_;
  TQuery select_;
  TQuery update_;
};

TEST_F(CorrectionRunServerTest, ALostConnectionStopsTheRunWithOneBox) {
  InsertRows(5);
  Connect();
  TQuery backend;
  backend.SetDatabaseName(kAlias);
  backend.SQL().Add("SELECT pg_backend_pid() AS pid");
  backend.Open();
  const std::string pid = backend.FieldByName("pid").AsString();
  backend.Close();

  RecordingHost host;
  // While the third row is being written, the server ends the run's session.
  host.onStatus = [&](const std::string& status) {
    if (status.find("(3/5)") != std::string::npos) {
      admin_->Prepare("SELECT pg_terminate_backend(" + pid + ")")->Open({});
    }
  };
  std::size_t rowsNotCorrected = 0;
  const std::string box = RunStopped(host, rowsNotCorrected);
  EXPECT_EQ(0u, box.find("La correction a été interrompue : la connexion à la base de données a "
                         "été perdue.\r2 enregistrements ont été corrigés ; 3 enregistrements "
                         "n'ont pas été corrigés."))
      << box;
  EXPECT_EQ(3u, rowsNotCorrected);
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_TRUE(host.informations.empty());
  EXPECT_TRUE(host.enabled);
  EXPECT_FALSE(host.closed);
  EXPECT_EQ((std::vector<double>{7, 7, 25, 25, 25}), FirstAmounts());
}

TEST_F(CorrectionRunServerTest, ALoginWithoutTheRightToChangeTheTableStopsAtTheFirstWrite) {
  InsertRows(4);
  RunStatement(*admin_, std::string("DROP ROLE IF EXISTS ") + kReader);
  RunStatement(*admin_, std::string("CREATE ROLE ") + kReader + " LOGIN");
  RunStatement(*admin_, std::string("GRANT SELECT ON CPMAIN TO ") + kReader);
  Connect(kReader);

  RecordingHost host;
  std::size_t rowsNotCorrected = 0;
  const std::string box = RunStopped(host, rowsNotCorrected);
  EXPECT_EQ(0u, box.find("La correction a été interrompue : l'utilisateur connecté n'a pas le "
                         "droit de modifier la table CPMAIN.\rAucun enregistrement n'a été "
                         "corrigé ; 4 enregistrements n'ont pas été corrigés."))
      << box;
  EXPECT_NE(std::string::npos, box.find("[42501]")) << box;  // the server's own words follow
  EXPECT_EQ(4u, rowsNotCorrected);
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_FALSE(host.closed);
  EXPECT_EQ((std::vector<double>{25, 25, 25, 25}), FirstAmounts());
  database_.SetConnected(false);
  RunStatement(*admin_, std::string("DROP OWNED BY ") + kReader);
  RunStatement(*admin_, std::string("DROP ROLE ") + kReader);
}

TEST_F(CorrectionRunServerTest, ATriggerThatRefusesRowsLeavesOnlyThoseRows) {
  // The first three rows are refused by a trigger in words of refusal, with the state of an
  // access rule, as SQL Server reports a trigger's RAISERROR: each is the row's own failure.
  InsertRows(6);
  RunStatement(*admin_,
               "CREATE FUNCTION refuse_first() RETURNS trigger AS $$ BEGIN "
               "IF NEW.CPMain_ID <= 3 THEN RAISE EXCEPTION 'modification refusée' USING ERRCODE "
               "= '42000'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql");
  RunStatement(*admin_,
               "CREATE TRIGGER refuse_first BEFORE UPDATE ON CPMAIN FOR EACH ROW EXECUTE "
               "FUNCTION refuse_first()");
  Connect();
  RecordingHost host;
  const CorrectionSummary summary = RunCorrection(select_, update_, host);
  const auto warning = [](int key) {
    return "Erreur lors de la modification de l'enregistrement CPMAIN_ID=" + std::to_string(key) +
           ". Cette modification devra être effectuée manuellement par un technicien de Klinova.";
  };
  EXPECT_EQ((std::vector<std::string>{warning(1), warning(2), warning(3)}), host.warnings);
  EXPECT_EQ(3, summary.rowsLeft);
  EXPECT_EQ(3, summary.rowsCorrected);
  EXPECT_TRUE(host.closed);
  EXPECT_EQ((std::vector<double>{25, 25, 25, 7, 7, 7}), FirstAmounts());
}

}  // namespace
}  // namespace patchpav::testing
