// The correction run against a driver that answers as each test scripts it: counts that are no
// verdict, writes that do not hold, keys that identify no row, and failures of the whole table.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
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
  CorrectionSummary Run(RecordingHost& host, CorrectionJournal& journal,
                        const WriteBatchLimits& limits = {}) {
    database_.SetConnected(false);
    database_.SetDatabaseName(kAlias);
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
    return RunCorrection(select_, update_, host, journal, limits);
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
  void Flush() override {}
  void WriteFailed(const JournalRow& row, const std::string&) override {
    outcomes.push_back("échec " + std::to_string(row.key));
  }
  void NotWritten(const JournalRow& row) override {
    outcomes.push_back("non écrit " + std::to_string(row.key));
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
    // A run that stops records the write of its batch that it did not make.
    std::vector<std::string> outcomes{c.outcome};
    if (c.stops) outcomes.push_back("non écrit 3");
    EXPECT_EQ(outcomes, journal.outcomes);
    EXPECT_EQ(c.stops, host.informations.empty());
    EXPECT_NE(std::string::npos, box.find(folderLine)) << box;
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
  EXPECT_NE(std::string::npos,
            box.find(std::string("\rSauvegarde et journal : ") + OutcomeJournal::kFolder))
      << box;
  const std::string end = "\r\rannulation.sql n'a pas pu être écrit";
  ASSERT_GT(box.size(), end.size());
  EXPECT_EQ(end, box.substr(box.size() - end.size())) << box;
}

TEST_F(ScriptedRunTest, RowsWithoutAKeyOfTheirOwnAreReportedOnceAndNeverWritten) {
  const Amounts owing = {25, -18, 0, 0, 0, 0, 0};
  base_->rows = {
      {Value(), {99, -1, 0, 0, 0, 0, 0}},  // blank: it would have been written "WHERE ... = 0"
      // Selected, yet read with nothing to correct: the rule would not write it, so no word.
      {Value::Text("n/a"), {0, 0, 0, 0, 0, 0, 0}, true},
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
  // Three boxes one by one, then the rest counted in one box.
  EXPECT_EQ((std::vector<std::string>{
                Warning("(vide)"), Warning("abc"), Warning("12.5"),
                "3 enregistrements ont été corrigés ; 6 enregistrements n'ont pas pu être "
                "corrigés et devront l'être manuellement par un technicien de Klinova.\r"
                "CPMAIN_ID=(vide), abc, 12.5, 042, 20, 20.\r"
                "Le journal de la correction (journal.csv) les énumère tous."}),
            host.warnings);
  EXPECT_EQ(6, summary.rowsLeft);
  EXPECT_EQ(3, summary.rowsCorrected);
  EXPECT_EQ(2, summary.sweeps);
  EXPECT_EQ((Amounts{12, 0, 0, 0, 0, 0, 0}), base_->rows[5].amounts);  // row 0's own
  EXPECT_EQ((Amounts{0, 7, 0, 0, 0, 0, 0}), base_->rows[6].amounts);
  EXPECT_EQ((Amounts{7, 0, 0, 0, 0, 0, 0}), base_->rows[7].amounts);
  for (std::size_t i : {0u, 2u, 3u, 4u, 8u, 9u}) {
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
    EXPECT_EQ(static_cast<std::size_t>(c.failingFrom), base_->attempts.size())
        << "nothing is tried after the stop";
    EXPECT_EQ(c.warnings, host.warnings);
    EXPECT_TRUE(host.informations.empty());
    ExpectUsableWindow(host);
    for (std::int64_t key = 1; key <= 5; ++key) {
      EXPECT_EQ(key < c.failingFrom ? 7.0 : 25.0, Stored().at(key)[0]) << key;
    }
  }
}

TEST_F(ScriptedRunTest, TheStopBoxCountsTheRowsCorrectedAndNot) {
  // Rows 1 to `rows`, the connection lost from the write of row `lostAt` on.
  struct Case {
    std::int64_t rows;
    std::int64_t lostAt;
    std::string counts;
    std::size_t rowsCorrected;
  } cases[] = {
      {3, 2, "1 enregistrement a été corrigé ; 2 enregistrements n'ont pas été corrigés.", 1},
      {2, 2, "1 enregistrement a été corrigé ; 1 enregistrement n'a pas été corrigé.", 1},
      {4, 1, "Aucun enregistrement n'a été corrigé ; 4 enregistrements n'ont pas été corrigés.", 0},
      {5, 4, "3 enregistrements ont été corrigés ; 2 enregistrements n'ont pas été corrigés.", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.counts);
    base_->rows.clear();
    for (std::int64_t key = 1; key <= c.rows; ++key) base_->rows.push_back(R(key, {25, -18}));
    base_->script = [&c](std::int64_t key, int) {
      ScriptedDriver::Answer answer;
      if (key >= c.lostAt) answer.error = EDatabaseError("coupure", DatabaseFault::ConnectionLost);
      return answer;
    };
    RecordingHost host;
    std::size_t rowsNotCorrected = 0;
    EXPECT_EQ(
        "La correction a été interrompue : la connexion à la base de données a été perdue.\r" +
            c.counts + "\rRelancez le programme une fois la cause corrigée.\r\rDétail : coupure",
        RunStopped(host, rowsNotCorrected));
    EXPECT_EQ(static_cast<std::size_t>(c.rows) - c.rowsCorrected, rowsNotCorrected);
  }
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

TEST_F(ScriptedRunTest, FailuresTheDriverCannotNameAreEachTheRowsOwn) {
  // However many rows fail, and wherever they fail, the others are corrected; the first three
  // failures get a box each and the rest are counted in one box before the outcome.
  struct Case {
    std::int64_t rows;                  // rows 1 to `rows`, each owing 18 on an act of 25
    std::vector<std::int64_t> failing;  // a trigger refuses these keys, every time
    std::string endBox;                 // empty: no box beyond the warnings one by one
  } cases[] = {
      {8, {1, 2, 3}, ""},  // the first writes of the run: still only the rows' own failures
      {5, {2}, ""},
      {6,
       {2, 3, 4, 5},
       "2 enregistrements ont été corrigés ; 4 enregistrements n'ont pas pu être corrigés et "
       "devront l'être manuellement par un technicien de Klinova.\rCPMAIN_ID=2, 3, 4, 5.\rLe "
       "journal de la correction (journal.csv) les énumère tous."},
      {25,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25},
       "Aucun enregistrement n'a été corrigé ; 25 enregistrements n'ont pas pu être corrigés et "
       "devront l'être manuellement par un technicien de Klinova.\rLes 20 premiers : "
       "CPMAIN_ID=1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20.\rLe "
       "journal de la correction (journal.csv) les énumère tous."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing.size());
    base_->rows.clear();
    base_->attempts.clear();
    for (std::int64_t key = 1; key <= c.rows; ++key) base_->rows.push_back(R(key, {25, -18}));
    base_->script = [&c](std::int64_t key, int) {
      ScriptedDriver::Answer answer;
      if (std::find(c.failing.begin(), c.failing.end(), key) != c.failing.end()) {
        answer.error = EDatabaseError("[42000] modification refusée");
      }
      return answer;
    };
    RecordingHost host;
    const CorrectionSummary summary = Run(host);
    std::vector<std::string> warnings;
    for (std::size_t i = 0; i < c.failing.size() && i < 3; ++i) {
      warnings.push_back(Warning(std::to_string(c.failing[i])));
    }
    if (!c.endBox.empty()) warnings.push_back(c.endBox);
    EXPECT_EQ(warnings, host.warnings);
    const auto left = static_cast<int>(c.failing.size());
    EXPECT_EQ(left, summary.rowsLeft);
    EXPECT_EQ(c.rows - left, summary.rowsCorrected);
    EXPECT_EQ(c.rows - left, summary.rowsWritten);
    EXPECT_EQ(static_cast<std::size_t>(c.rows), base_->attempts.size()) << "each row tried once";
    const std::string finalBox =
        "La correction de la comptabilité est terminée, mais " + std::to_string(left) +
        (left == 1 ? " enregistrement n'a pas pu être corrigé et devra l'être"
                   : " enregistrements n'ont pas pu être corrigés et devront l'être") +
        " manuellement par un technicien de Klinova. Le programme va être fermé.";
    EXPECT_EQ(std::vector<std::string>{finalBox}, host.informations);
    if (!c.endBox.empty()) {
      // The count comes before the outcome box.
      const auto at = [&](const std::string& call) {
        return std::find(host.calls.begin(), host.calls.end(), call) - host.calls.begin();
      };
      EXPECT_LT(at("warning " + c.endBox), at("information " + finalBox));
    }
    for (std::int64_t key = 1; key <= c.rows; ++key) {
      const bool failing = std::find(c.failing.begin(), c.failing.end(), key) != c.failing.end();
      EXPECT_EQ(failing ? 25.0 : 7.0, Stored().at(key)[0]) << key;
    }
    EXPECT_TRUE(host.closed);
  }
}

TEST_F(ScriptedRunTest, ADeadlockVictimIsTriedOnceMore) {
  struct Case {
    int deadlocks;  // times row 2's write is chosen as a deadlock's victim in a row
    std::vector<std::int64_t> attempts;
    std::vector<std::string> warnings;
  } cases[] = {
      {1, {1, 2, 2, 3}, {}},
      {2, {1, 2, 2, 3}, {Warning("2")}},  // tried twice, then the row's own failure
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deadlocks);
    base_->rows = {R(1, {25, -18}), R(2, {25, -18}), R(3, {25, -18})};
    base_->attempts.clear();
    int victims = 0;
    base_->script = [&](std::int64_t key, int) {
      ScriptedDriver::Answer answer;
      if (key == 2 && victims < c.deadlocks) {
        ++victims;
        answer.error = EDatabaseError("[40001] victime d'un interblocage", DatabaseFault::Deadlock);
      }
      return answer;
    };
    RecordingHost host;
    Run(host);
    EXPECT_EQ(c.attempts, base_->attempts);
    EXPECT_EQ(c.warnings, host.warnings);
    EXPECT_EQ(c.warnings.empty() ? 7.0 : 25.0, Stored().at(2)[0]);
    EXPECT_EQ(7.0, Stored().at(3)[0]);
  }
}

// Notes the journal's calls in the base's log, so that their order with the UPDATEs and the base's
// flushes shows.
class LoggingJournal : public CorrectionJournal {
 public:
  explicit LoggingJournal(std::vector<std::string>& log) : log_(log) {}
  void BeginWrites() override { log_.push_back("begin"); }
  void WriteAhead(const JournalRow& row) override { Note("ahead", row); }
  void Flush() override {
    log_.push_back("journal flush");
    if (onFlush) onFlush();
  }
  void WriteFailed(const JournalRow& row, const std::string&) override { Note("failed", row); }
  void WriteUncertain(const JournalRow& row, const std::string&) override {
    Note("uncertain", row);
  }
  void NotWritten(const JournalRow& row) override { Note("not written", row); }
  void Finish() override { log_.push_back("finish"); }
  std::function<void()> onFlush;

 private:
  void Note(const char* what, const JournalRow& row) {
    log_.push_back(std::string(what) + " " + std::to_string(row.key));
  }
  std::vector<std::string>& log_;
};

// A batch's journal lines are flushed before its first UPDATE and the base once after its last;
// a batch closes at its row count or when its work has taken the time allowed; a run that stops
// records the writes of its batch that it did not make and flushes those it made. Where a batch's
// flushes took more than half its work, the next batch plans more rows.
TEST_F(ScriptedRunTest, RowsAreWrittenInBatchesBetweenTheJournalsFlushAndTheBases) {
  struct Case {
    const char* what;
    std::size_t batchRows;
    int msPerRow;        // the work of each row, on the run's clock
    int msPerFlush;      // each flush, the journal's and the base's, on the run's clock
    int failingFrom;     // the first UPDATE that meets a lost connection; 0: none
    int flushFailsFrom;  // the first flush of the base that fails; 0: none
    std::vector<std::string> log;
  } cases[] = {
      {"two rows a batch",
       2,
       0,
       0,
       0,
       0,
       {"begin", "ahead 1", "ahead 2", "journal flush", "update 1", "update 2", "flush", "ahead 3",
        "ahead 4", "journal flush", "update 3", "update 4", "flush", "ahead 5", "journal flush",
        "update 5", "flush", "finish"}},
      {"the time closes the batch after 300 ms",
       256,
       100,
       0,
       0,
       0,
       {"begin", "ahead 1", "ahead 2", "ahead 3", "ahead 4", "ahead 5", "journal flush", "update 1",
        "update 2", "update 3", "flush", "update 4", "update 5", "flush", "finish"}},
      {"the connection lost in the middle of a batch",
       3,
       0,
       0,
       2,
       0,
       {"begin", "ahead 1", "ahead 2", "ahead 3", "journal flush", "update 1", "update 2",
        "uncertain 2", "not written 3", "flush", "finish"}},
      {"the base's flush fails",
       2,
       0,
       0,
       0,
       2,
       {"begin", "ahead 1", "ahead 2", "journal flush", "update 1", "update 2", "flush", "ahead 3",
        "ahead 4", "journal flush", "update 3", "update 4", "flush", "uncertain 3", "uncertain 4",
        "flush", "finish"}},
      // 20 ms of flushes for 1 ms of work: the next batch takes the four rows left (it would
      // take up to 64).
      {"slow flushes grow the batch",
       1,
       1,
       10,
       0,
       0,
       {"begin", "ahead 1", "journal flush", "update 1", "flush", "ahead 2", "ahead 3", "ahead 4",
        "ahead 5", "journal flush", "update 2", "update 3", "update 4", "update 5", "flush",
        "finish"}},
      // 4 ms of flushes for 10 ms of work: no more than half, the batches keep their size.
      {"flushes worth less than half the work",
       2,
       5,
       2,
       0,
       0,
       {"begin", "ahead 1", "ahead 2", "journal flush", "update 1", "update 2", "flush", "ahead 3",
        "ahead 4", "journal flush", "update 3", "update 4", "flush", "ahead 5", "journal flush",
        "update 5", "flush", "finish"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    base_->rows.clear();
    for (std::int64_t key = 1; key <= 5; ++key) base_->rows.push_back(R(key, {25, -18}));
    base_->attempts.clear();
    base_->log.clear();
    base_->flushes = 0;
    base_->flushFailsFrom = c.flushFailsFrom;
    base_->script = [&c](std::int64_t, int attempt) {
      ScriptedDriver::Answer answer;
      if (c.failingFrom > 0 && attempt >= c.failingFrom) {
        answer.error = EDatabaseError("coupure", DatabaseFault::ConnectionLost);
      }
      return answer;
    };
    std::chrono::steady_clock::time_point now;
    RecordingHost host;
    host.onStatus = [&](const std::string&) { now += std::chrono::milliseconds(c.msPerRow); };
    const auto flushTakesItsTime = [&] { now += std::chrono::milliseconds(c.msPerFlush); };
    base_->onFlush = flushTakesItsTime;
    LoggingJournal journal(base_->log);
    journal.onFlush = flushTakesItsTime;
    WriteBatchLimits limits;
    limits.rows = c.batchRows;
    limits.clock = [&now] { return now; };
    const bool stops = c.failingFrom > 0 || c.flushFailsFrom > 0;
    try {
      Run(host, journal, limits);
      EXPECT_FALSE(stops);
    } catch (const ECorrectionStopped& e) {
      EXPECT_TRUE(stops) << e.what();
      EXPECT_EQ(0u, std::string(e.what()).find("La correction a été interrompue : la connexion à "
                                               "la base de données a été perdue."))
          << e.what();
    }
    EXPECT_EQ(c.log, base_->log);
    // Progress and texts are those of a run written row by row.
    EXPECT_EQ("Correction de l'enregistrement comptable n°1 (1/5)", host.statuses.at(1));
  }
}

}  // namespace
}  // namespace patchpav::testing
