// The correction run against a driver that answers as each test scripts it: counts that are no
// verdict, writes that do not hold, keys that identify no row, and failures of the whole table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RunTestSupport.h"
#include "ScriptedDriver.h"
#include "correction/CorrectionJournal.h"
#include "correction/CorrectionRun.h"
#include "correction/WriteFailure.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"

namespace patchpav::testing {
namespace {

const char kAlias[] = "ScriptedBase";
const char kFinished[] =
    "La correction de la comptabilité est terminée. Le programme va être fermé.";

std::string Warning(const std::string& key) {
  return "Erreur lors de la modification de l'enregistrement CPMAIN_ID=" + key +
         ". Cette modification devra être effectuée manuellement par un technicien de Klinova.";
}

ScriptedDriver::Row R(std::int64_t key, Amounts amounts) { return {Value::Integer(key), amounts}; }

class ScriptedRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    UseTestEngineConfig();
    if (!EngineSession().AliasExists(kAlias)) {
      EngineSession().AddDriverAlias(kAlias, ScriptedDriver::kType, {});
    }
  }

  void SetUp() override {
    auto driver = std::make_shared<ScriptedDriver>();
    base_ = driver->state;
    Engine::Instance().RegisterDriver(driver);
  }
  void TearDown() override { database_.SetConnected(false); }

  CorrectionSummary Run(RecordingHost& host) {
    database_.SetConnected(false);
    database_.SetDatabaseName(kAlias);
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
    return RunCorrection(select_, update_, host);
  }
  CorrectionSummary Run(RecordingHost& host, CorrectionJournal& journal) {
    database_.SetConnected(false);
    database_.SetDatabaseName(kAlias);
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
    return RunCorrection(select_, update_, host, journal);
  }

  // Runs a correction that must stop; gives the box it ends with.
  std::string RunStopped(RecordingHost& host, std::size_t& rowsNotCorrected,
                         CorrectionJournal* journal = nullptr) {
    try {
      journal ? Run(host, *journal) : Run(host);
      ADD_FAILURE() << "the run did not stop";
    } catch (const ECorrectionStopped& e) {
      rowsNotCorrected = e.RowsNotCorrected();
      return e.what();
    }
    return {};
  }

  // The amounts of every row of the base, by key.
  std::map<std::int64_t, Amounts> Stored() const {
    std::map<std::int64_t, Amounts> result;
    for (const auto& row : base_->rows) result[row.key.AsInteger()] = row.amounts;
    return result;
  }

  // The window after the run: usable, nothing left on screen, the application not closed.
  static void ExpectUsableWindow(const RecordingHost& host) {
    EXPECT_TRUE(host.enabled);
    EXPECT_FALSE(host.progressVisible);
    EXPECT_FALSE(host.animationVisible || host.animationPlaying);
    EXPECT_EQ(CorrectionHost::Cursor::Default, host.cursor);
    EXPECT_FALSE(host.closed);
  }

  std::shared_ptr<ScriptedDriver::State> base_;
  TDatabase database_;
  TQuery select_;
  TQuery update_;
};

TEST_F(ScriptedRunTest, TheCountAWriteReportsIsNoVerdict) {
  // -1: SET NOCOUNT ON; 0 and 2: a trigger's own count; 1: the plain case.
  for (const std::int64_t count : {-1, 0, 2, 1}) {
    SCOPED_TRACE(count);
    base_->rows = {R(1, {25, -18, 0, 0, 0, 0, 0}), R(7, {-18, 30, -5, 0, 0, 0, 0}),
                   R(9, {10, -18, 5, 0, 0, 0, 0})};
    base_->attempts.clear();
    base_->script = [count](std::int64_t, int) {
      ScriptedDriver::Answer answer;
      answer.count = count;
      return answer;
    };
    RecordingHost host;
    const CorrectionSummary summary = Run(host);
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(std::vector<std::string>{kFinished}, host.informations);
    EXPECT_EQ(0, summary.rowsLeft);
    EXPECT_EQ(2, summary.sweeps);
    EXPECT_EQ((std::vector<std::int64_t>{1, 7, 9, 7}), base_->attempts);
    const std::map<std::int64_t, Amounts> expected = {
        {1, {7, 0, 0, 0, 0, 0, 0}}, {7, {0, 7, 0, 0, 0, 0, 0}}, {9, {0, 0, 0, 0, 0, 0, 0}}};
    EXPECT_EQ(expected, Stored());
    EXPECT_TRUE(host.closed);
  }
}

TEST_F(ScriptedRunTest, AWriteThatDidNotHoldIsCaughtByTheNextSelection) {
  base_->rows = {R(4, {25, -18, 0, 0, 0, 0, 0}), R(5, {25, -18, 0, 0, 0, 0, 0}),
                 R(6, {25, -18, 0, 0, 0, 0, 0}), R(8, {-18, 30, -5, 0, 0, 0, 0})};
  // Row 5's write reports one row changed, and changes nothing.
  base_->script = [](std::int64_t key, int) {
    ScriptedDriver::Answer answer;
    answer.holds = key != 5;
    return answer;
  };
  RecordingHost host;
  const CorrectionSummary summary = Run(host);
  EXPECT_EQ(std::vector<std::string>{Warning("5")}, host.warnings);
  EXPECT_EQ(1, summary.rowsLeft);
  EXPECT_EQ((std::vector<std::int64_t>{4, 5, 6, 8, 8}), base_->attempts);  // 5 is not retried
  EXPECT_EQ((Amounts{25, -18, 0, 0, 0, 0, 0}), Stored().at(5));
  EXPECT_EQ((Amounts{0, 7, 0, 0, 0, 0, 0}), Stored().at(8));
}

// What the run tells its journal of the UPDATEs that raised an error; the folder it gives once
// the backup is made.
class OutcomeJournal final : public CorrectionJournal {
 public:
  static constexpr const char* kFolder = "C:\\Sauvegardes\\20261208-154300";
  std::vector<std::string> outcomes;
  std::optional<std::runtime_error> finishError;
  bool began = false;

  void BeginWrites() override { began = true; }
  void WriteAhead(const JournalRow&) override {}
  void WriteFailed(const JournalRow& row, const std::string&) override {
    outcomes.push_back("échec " + std::to_string(row.key));
  }
  void WriteUncertain(const JournalRow& row, const std::string&) override {
    outcomes.push_back("incertaine " + std::to_string(row.key));
  }
  void Finish() override {
    if (finishError) throw *finishError;
  }
  std::string FolderText() const override { return began ? kFolder : ""; }
};

// A write whose error leaves unknown whether it reached the base keeps its undo; one known not
// to have happened does not. The box that ends a run that wrote names the backup's folder.
TEST_F(ScriptedRunTest, AWriteWhoseOutcomeIsUnknownIsJournaledAsSuch) {
  const struct Case {
    const char* what;
    DatabaseFault fault;
    bool outcomeUnknown;  // raised as a write that may have landed
    const char* outcome;
    bool stops;
  } cases[] = {
      {"connection lost during the UPDATE", DatabaseFault::ConnectionLost, false, "incertaine 2",
       true},
      {"file failed while the record was written", DatabaseFault::Unspecified, true, "incertaine 2",
       false},
      {"refused by the base", DatabaseFault::Unspecified, false, "échec 2", false},
      {"held by another program", DatabaseFault::InUse, false, "échec 2", true},
  };
  const std::string folderLine =
      std::string("\rSauvegarde et journal : ") + OutcomeJournal::kFolder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    base_->rows = {R(1, {25, -18}), R(2, {25, -18}), R(3, {25, -18})};
    base_->script = [&c](std::int64_t key, int) {
      ScriptedDriver::Answer answer;
      if (key == 2) answer.error = EDatabaseError("[08S01] erreur", c.fault);
      answer.outcomeUnknown = c.outcomeUnknown;
      return answer;
    };
    OutcomeJournal journal;
    RecordingHost host;
    std::string box;
    try {
      Run(host, journal);
      ASSERT_EQ(1u, host.informations.size());
      box = host.informations[0];
    } catch (const ECorrectionStopped& e) {
      box = e.what();
    }
    EXPECT_EQ(std::vector<std::string>{c.outcome}, journal.outcomes);
    EXPECT_EQ(c.stops, host.informations.empty());
    ASSERT_GT(box.size(), folderLine.size());
    EXPECT_EQ(folderLine, box.substr(box.size() - folderLine.size())) << box;
  }
}

// The corrections are made whatever becomes of the undo script: the user is told so first, then
// what went wrong with the script.
TEST_F(ScriptedRunTest, TheOutcomeBoxComesBeforeAFailureToWriteTheUndoScript) {
  base_->rows = {R(1, {25, -18})};
  OutcomeJournal journal;
  journal.finishError.emplace("annulation.sql n'a pas pu être écrit");
  RecordingHost host;
  Run(host, journal);
  const std::string outcome = std::string("information ") + kFinished +
                              "\rSauvegarde et journal : " + OutcomeJournal::kFolder;
  const auto at = std::find(host.calls.begin(), host.calls.end(), outcome);
  ASSERT_NE(host.calls.end(), at);
  ASSERT_NE(host.calls.end(), at + 1);
  EXPECT_EQ("warning annulation.sql n'a pas pu être écrit", *(at + 1));
  EXPECT_TRUE(host.closed);

  // A run that stops ends with its stop box, which tells it too.
  base_->rows = {R(1, {25, -18}), R(2, {25, -18})};
  base_->script = [](std::int64_t key, int) {
    ScriptedDriver::Answer answer;
    if (key == 2) answer.error = EDatabaseError("coupure", DatabaseFault::ConnectionLost);
    return answer;
  };
  OutcomeJournal stopped;
  stopped.finishError.emplace("annulation.sql n'a pas pu être écrit");
  RecordingHost stoppedHost;
  std::size_t rowsNotCorrected = 0;
  const std::string box = RunStopped(stoppedHost, rowsNotCorrected, &stopped);
  const std::string end = std::string("\rSauvegarde et journal : ") + OutcomeJournal::kFolder +
                          "\r\rannulation.sql n'a pas pu être écrit";
  ASSERT_GT(box.size(), end.size());
  EXPECT_EQ(end, box.substr(box.size() - end.size())) << box;
}

TEST_F(ScriptedRunTest, RowsWithoutAKeyOfTheirOwnAreReportedOnceAndNeverWritten) {
  const Amounts owing = {25, -18, 0, 0, 0, 0, 0};
  base_->rows = {
      {Value(), {99, -1, 0, 0, 0, 0, 0}},  // blank: it would have been written "WHERE ... = 0"
      {Value::Text("abc"), owing},
      {Value::Float(12.5), owing},
      {Value::Text("042"), owing},  // compared as a number it would reach row 42
      R(0, {30, -18, 0, 0, 0, 0, 0}),
      {Value::Float(12), {-18, 30, -5, 0, 0, 0, 0}},  // a whole float is a key: two sweeps
      {Value::Text("13"), owing},
      R(20, owing),
      R(20, {40, -18, 0, 0, 0, 0, 0}),  // two rows share key 20
  };
  RecordingHost host;
  const CorrectionSummary summary = Run(host);
  EXPECT_EQ((std::vector<std::int64_t>{0, 12, 13, 12}), base_->attempts);
  EXPECT_EQ((std::vector<std::string>{Warning("(vide)"), Warning("abc"), Warning("12.5"),
                                      Warning("042"), Warning("20"), Warning("20")}),
            host.warnings);
  EXPECT_EQ(6, summary.rowsLeft);
  EXPECT_EQ(2, summary.sweeps);
  EXPECT_EQ((Amounts{12, 0, 0, 0, 0, 0, 0}), base_->rows[4].amounts);  // row 0's own
  EXPECT_EQ((Amounts{0, 7, 0, 0, 0, 0, 0}), base_->rows[5].amounts);
  EXPECT_EQ((Amounts{7, 0, 0, 0, 0, 0, 0}), base_->rows[6].amounts);
  for (std::size_t i : {0u, 1u, 2u, 3u, 7u, 8u}) {
    EXPECT_LT(base_->rows[i].amounts[1], 0) << "row " << i << " was written";
  }
  EXPECT_TRUE(host.closed);
}

TEST_F(ScriptedRunTest, AFailureOfTheWholeTableStopsTheRunWithOneBox) {
  struct Case {
    const char* what;
    DatabaseFault fault;
    int failingFrom;  // the first UPDATE that fails; every later one would fail too
    std::string cause;
    std::vector<std::string> warnings;  // shown before the stop
    std::size_t rowsNotCorrected;
  } cases[] = {
      {"connection lost",
       DatabaseFault::ConnectionLost,
       3,
       "la connexion à la base de données a été perdue",
       {},
       3},
      {"no permission",
       DatabaseFault::PermissionDenied,
       1,
       "l'utilisateur connecté n'a pas le droit de modifier la table CPMAIN",
       {},
       5},
      {"read-only",
       DatabaseFault::ReadOnly,
       2,
       "la table CPMAIN est en lecture seule (fichier, dossier ou base de données)",
       {},
       4},
      {"held by another program",
       DatabaseFault::InUse,
       5,
       "la table CPMAIN est utilisée par un autre programme (Klinova SQL est-il ouvert sur un "
       "poste ?)",
       {},
       1},
      {"three failures and no success",
       DatabaseFault::Unspecified,
       1,
       "les 3 premières modifications ont toutes échoué",
       {Warning("1"), Warning("2")},
       5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    base_->rows.clear();
    for (std::int64_t key = 1; key <= 5; ++key) base_->rows.push_back(R(key, {25, -18}));
    base_->attempts.clear();
    base_->script = [&c](std::int64_t, int attempt) {
      ScriptedDriver::Answer answer;
      if (attempt >= c.failingFrom) answer.error = EDatabaseError("[XX000] refusé", c.fault);
      return answer;
    };
    RecordingHost host;
    std::size_t rowsNotCorrected = 0;
    const std::string box = RunStopped(host, rowsNotCorrected);
    EXPECT_NE(box.find("La correction a été interrompue : " + c.cause + "."), std::string::npos)
        << box;
    EXPECT_NE(box.find("Détail : [XX000] refusé"), std::string::npos) << box;
    EXPECT_EQ(c.rowsNotCorrected, rowsNotCorrected);
    const std::size_t attempts = c.fault == DatabaseFault::Unspecified
                                     ? std::size_t{kFailuresBeforeStop}
                                     : static_cast<std::size_t>(c.failingFrom);
    EXPECT_EQ(attempts, base_->attempts.size()) << "nothing is tried after the stop";
    EXPECT_EQ(c.warnings, host.warnings);
    EXPECT_TRUE(host.informations.empty());
    ExpectUsableWindow(host);
    for (std::int64_t key = 1; key <= 5; ++key) {
      const bool written = key < c.failingFrom && c.fault != DatabaseFault::Unspecified;
      EXPECT_EQ(written ? 7.0 : 25.0, Stored().at(key)[0]) << key;
    }
  }
}

TEST_F(ScriptedRunTest, TheStopBoxCountsInSingularAndPlural) {
  for (std::int64_t key = 1; key <= 3; ++key) base_->rows.push_back(R(key, {25, -18}));
  base_->script = [](std::int64_t key, int) {
    ScriptedDriver::Answer answer;
    if (key >= 2) answer.error = EDatabaseError("coupure", DatabaseFault::ConnectionLost);
    return answer;
  };
  RecordingHost host;
  std::size_t rowsNotCorrected = 0;
  EXPECT_EQ(
      "La correction a été interrompue : la connexion à la base de données a été perdue.\r"
      "2 enregistrements n'ont pas été corrigés ; aucune autre modification n'a été faite.\r"
      "Relancez le programme une fois la cause corrigée.\r\rDétail : coupure",
      RunStopped(host, rowsNotCorrected));

  base_->rows = {R(1, {25, -18}), R(2, {25, -18})};
  RecordingHost second;
  EXPECT_EQ(
      "La correction a été interrompue : la connexion à la base de données a été perdue.\r"
      "1 enregistrement n'a pas été corrigé ; aucune autre modification n'a été faite.\r"
      "Relancez le programme une fois la cause corrigée.\r\rDétail : coupure",
      RunStopped(second, rowsNotCorrected));
}

TEST_F(ScriptedRunTest, ATableKnownToBeUnwritableIsSaidOnceBeforeAnyRowIsTouched) {
  struct Case {
    std::size_t rows;
    DatabaseFault fault;
    std::string box;
  } cases[] = {
      {5, DatabaseFault::ReadOnly,
       "La correction n'a pas été lancée : la table CPMAIN est en lecture seule (fichier, dossier "
       "ou base de données).\rAucun des 5 enregistrements à corriger n'a été modifié.\rRelancez "
       "le programme une fois la cause corrigée.\r\rDétail : CPMAIN.DB : accès refusé"},
      {1, DatabaseFault::Unspecified,
       "La correction n'a pas été lancée : la table CPMAIN ne peut pas être modifiée.\r"
       "L'enregistrement à corriger n'a pas été modifié.\rRelancez le programme une fois la "
       "cause corrigée.\r\rDétail : CPMAIN.DB : accès refusé"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    base_->rows.clear();
    for (std::size_t key = 1; key <= c.rows; ++key) {
      base_->rows.push_back(R(static_cast<std::int64_t>(key), {25, -18}));
    }
    base_->attempts.clear();
    base_->refuseCheck = EDatabaseError("CPMAIN.DB : accès refusé", c.fault);
    RecordingHost host;
    std::size_t rowsNotCorrected = 0;
    EXPECT_EQ(c.box, RunStopped(host, rowsNotCorrected));
    EXPECT_EQ(c.rows, rowsNotCorrected);
    EXPECT_TRUE(base_->attempts.empty());
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(std::vector<std::string>{"Recherche des enregistrements \"-18 €\"..."},
              host.statuses);
    ExpectUsableWindow(host);
  }
}

TEST_F(ScriptedRunTest, FailuresOfSingleRowsAfterASuccessAreEachReported) {
  // Row 1 is written; the failures after it are the rows' own, however many follow each other.
  struct Case {
    std::vector<std::int64_t> failing;
    std::string finalBox;
  } cases[] = {
      {{2},
       "La correction de la comptabilité est terminée, mais 1 enregistrement n'a pas pu être "
       "corrigé et devra l'être manuellement par un technicien de Klinova. Le programme va être "
       "fermé."},
      {{2, 3, 4},
       "La correction de la comptabilité est terminée, mais 3 enregistrements n'ont pas pu être "
       "corrigés et devront l'être manuellement par un technicien de Klinova. Le programme va "
       "être fermé."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing.size());
    base_->rows.clear();
    for (std::int64_t key = 1; key <= 5; ++key) base_->rows.push_back(R(key, {25, -18}));
    base_->script = [&c](std::int64_t key, int) {
      ScriptedDriver::Answer answer;
      if (std::find(c.failing.begin(), c.failing.end(), key) != c.failing.end()) {
        answer.error = EDatabaseError("valeur refusée par une contrainte");
      }
      return answer;
    };
    RecordingHost host;
    const CorrectionSummary summary = Run(host);
    std::vector<std::string> warnings;
    for (std::int64_t key : c.failing) warnings.push_back(Warning(std::to_string(key)));
    EXPECT_EQ(warnings, host.warnings);
    EXPECT_EQ(static_cast<int>(c.failing.size()), summary.rowsLeft);
    EXPECT_EQ(std::vector<std::string>{c.finalBox}, host.informations);
    EXPECT_EQ(7.0, Stored().at(5)[0]);
    EXPECT_TRUE(host.closed);
  }
}

}  // namespace
}  // namespace patchpav::testing
