#include "correction/CorrectionRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "RunTestSupport.h"
#include "correction/CorrectionHost.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/core/Errors.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/LocalDriver.h"
#include "support/FaultyFiles.h"
#include "support/FieldBuilders.h"
#include "support/FileBytes.h"
#include "support/StoredDouble.h"
#include "support/TemporaryDirectory.h"

namespace patchpav {
namespace {

namespace fs = std::filesystem;
using paradox::FieldType;
using testing::CpMainSchema;
using testing::Field;
using testing::RecordingHost;
using testing::StoredDouble;
using testing::TemporaryDirectory;

struct Row {
  int key;
  std::vector<double> amounts;  // seven, or empty for all blank
};

const char kAlias[] = "CorrectionRunBase";
const char kFinished[] =
    "La correction de la comptabilité est terminée. Le programme va être fermé.";

std::string Warning(int key) {
  return "Erreur lors de la modification de l'enregistrement CPMAIN_ID=" + std::to_string(key) +
         ". Cette modification devra être effectuée manuellement par un technicien de Klinova.";
}

class CorrectionRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing::UseTestEngineConfig();
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    if (!EngineSession().AliasExists(kAlias)) EngineSession().AddLocalAlias(kAlias, "", "PARADOX");
  }

  void TearDown() override {
    database_.SetConnected(false);
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
  }

  // CPMAIN keyed on CPMain_ID; amountType lets a test make one amount column an integer column.
  void MakeCpMain(const std::vector<Row>& rows, FieldType secondAmountType = FieldType::Number) {
    const paradox::TableSchema schema =
        CpMainSchema({.labelSize = 20, .secondAmount = secondAmountType});
    std::vector<Row> sorted = rows;
    std::sort(sorted.begin(), sorted.end(),
              [](const Row& a, const Row& b) { return a.key < b.key; });
    std::vector<std::vector<Value>> values;
    for (const Row& r : sorted) {
      std::vector<Value> v{Value::Integer(r.key)};
      for (int i = 0; i < 7; ++i) {
        if (r.amounts.empty()) {
          v.push_back(Value());
        } else if (i == 1 && secondAmountType == FieldType::Long) {
          v.push_back(Value::Integer(static_cast<std::int64_t>(r.amounts[i])));
        } else {
          v.push_back(Value::Float(r.amounts[i]));
        }
      }
      v.push_back(Value::Text("acte " + std::to_string(r.key)));
      values.push_back(std::move(v));
    }
    paradox::Table::Create(dir_ / "CPMAIN.DB", schema, values);
  }

  CorrectionSummary Run(RecordingHost& host) {
    database_.SetDatabaseName(kAlias);
    database_.Params().Clear();
    database_.Params().Add("PATH=" + dir_.Path().string());
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
    return RunCorrection(select_, update_, host);
  }

  // The amounts of every row, by key, read back from the file after the run's connection closed.
  std::map<int, std::vector<double>> Amounts() {
    database_.SetConnected(false);
    auto table = paradox::Table::Open(dir_ / "CPMAIN.DB", paradox::Table::Access::ReadOnly);
    std::map<int, std::vector<double>> result;
    table->ForEachBlock([&](const std::byte* records, std::size_t count, paradox::RecordLocator) {
      for (std::size_t i = 0; i < count; ++i) {
        const std::byte* record = records + i * table->RecordSize();
        auto& amounts = result[static_cast<int>(table->Decode(record, 0).AsInteger())];
        for (int f = 1; f <= 7; ++f) amounts.push_back(table->Decode(record, f).AsFloat());
      }
    });
    return result;
  }

  // Replaces the stored bytes of one amount by those of another value, as a program that writes
  // whatever it likes into the file could. The amount must be unique in the file.
  void OverwriteAmount(double stored, double replacement) {
    std::string bytes = FileBytes();
    const auto at = bytes.find(StoredDouble(stored));
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 8, StoredDouble(replacement));
    testing::WriteFileBytes(dir_ / "CPMAIN.DB", bytes);
  }

  std::string FileBytes() { return testing::FileBytes(dir_ / "CPMAIN.DB"); }

  // Makes the run reach its tables through files_.
  void UseFaultyFiles() {
    Engine::Instance().RegisterDriver(std::make_shared<sql::LocalDriver>(files_));
  }

  // A secondary index of CPMAIN on MontantSS2 (field 3 of the table), named as Paradox names
  // one; made with our own writer as a table of the index's fields whose header names field 3.
  void MakeIndexOnSecondAmount() {
    paradox::TableSchema index;
    index.fields = {Field("Sec Key", FieldType::Number, 8), Field("CPMain_ID", FieldType::Long, 4),
                    Field("Hint", FieldType::Short, 2)};
    paradox::Table::Create(dir_ / "CPMAIN.X03", index, {});
    std::fstream file(dir_ / "CPMAIN.X03", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(0x15);
    file.put(3);
  }

  // Runs a correction that must stop; gives the box it ends with.
  std::string RunStopped(RecordingHost& host) {
    try {
      Run(host);
      ADD_FAILURE() << "the run did not stop";
    } catch (const ECorrectionStopped& e) {
      return e.what();
    }
    return {};
  }

  testing::FaultyFiles files_;

  TemporaryDirectory dir_;
  TDatabase database_;
  TQuery select_;
  TQuery update_;
};

TEST_F(CorrectionRunTest, NothingToCorrectWritesNothingAndSaysSo) {
  MakeCpMain({{1, {25, 0, 0, 0, 0, 0, 0}}, {2, {}}, {3, {0, 0, 0, 0, 0, 0, 4.5}}});
  const std::string before = FileBytes();
  RecordingHost host;
  const CorrectionSummary summary = Run(host);
  EXPECT_EQ(0, summary.sweeps);
  EXPECT_EQ(before, FileBytes());
  EXPECT_EQ((std::vector<std::string>{
                "disable", "hourglass", "status Recherche des enregistrements \"-18 €\"...",
                "hide gauge", "show progress", "pump", "enable", "hide progress", "pump",
                "information Aucun enregistrement a corriger n'a été trouvé. "
                "Le programme va être fermé.",
                "close"}),
            host.calls);
}

TEST_F(CorrectionRunTest, RowsAreCorrectedInKeyOrderUntilNoneIsNegative) {
  MakeCpMain({
      {40, {0, 12, 0, 0, 0, 0, 0}},      // nothing to do
      {1234, {25, -18, 0, 0, 0, 0, 0}},  // absorbed whole
      {7, {-18, 30, -5, 0, 0, 0, 0}},    // two sweeps
      {9, {10, -18, 5, 0, 0, 0, 0}},     // negative total: all to zero
      {300, {0, -18, 0, 0, 0, 0, 0}},    // the act of no value
      {12, {10, -18, 8, 5, 0, 0, 0}},    // consumed, then 5 takes up 0
  });
  RecordingHost host;
  const CorrectionSummary summary = Run(host);
  EXPECT_EQ(2, summary.sweeps);
  EXPECT_EQ(6, summary.rowsWritten);
  EXPECT_EQ(0, summary.rowsLeft);

  const std::map<int, std::vector<double>> expected = {
      {7, {0, 7, 0, 0, 0, 0, 0}},   {9, {0, 0, 0, 0, 0, 0, 0}},   {12, {0, 0, 0, 5, 0, 0, 0}},
      {40, {0, 12, 0, 0, 0, 0, 0}}, {300, {0, 0, 0, 0, 0, 0, 0}}, {1234, {7, 0, 0, 0, 0, 0, 0}},
  };
  EXPECT_EQ(expected, Amounts());

  // Numbered in key order within each sweep; the second sweep starts again at 1 of 1.
  const std::vector<std::string> statuses = {
      "Recherche des enregistrements \"-18 €\"...",
      "Correction de l'enregistrement comptable n°7 (1/5)",
      "Correction de l'enregistrement comptable n°9 (2/5)",
      "Correction de l'enregistrement comptable n°12 (3/5)",
      "Correction de l'enregistrement comptable n°300 (4/5)",
      "Correction de l'enregistrement comptable n°1234 (5/5)",
      "Correction de l'enregistrement comptable n°7 (1/1)",
  };
  EXPECT_EQ(statuses, host.statuses);
  for (bool enabled : host.enabledAtStatus) EXPECT_FALSE(enabled);  // no input while writing
  EXPECT_EQ(std::vector<std::string>{kFinished}, host.informations);
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_TRUE(host.closed);
  EXPECT_TRUE(host.enabled);
  EXPECT_FALSE(host.progressVisible);
  EXPECT_FALSE(host.animationVisible || host.animationPlaying);
  EXPECT_EQ(CorrectionHost::Cursor::Default, host.cursor);
  EXPECT_EQ(1, host.gaugeMax);
  EXPECT_EQ(1, host.gaugeProgress);
}

TEST_F(CorrectionRunTest, OneRowCountsOneOfOneAndBlankAmountsAreWrittenAsZero) {
  MakeCpMain({{1234, {25, -18, 0, 0, 0, 0, 0}}});
  // Blank the other five amounts of the row: the run reads them as 0 and writes them back as 0.
  {
    auto table = paradox::Table::Open(dir_ / "CPMAIN.DB", paradox::Table::Access::ReadWrite);
    const auto where = table->FindByKey(std::vector<Value>{Value::Integer(1234)});
    ASSERT_TRUE(where);
    std::vector<paradox::Table::FieldChange> blanks;
    for (int f = 3; f <= 7; ++f) blanks.push_back({f, Value()});
    table->Update(*where, blanks);
  }
  RecordingHost host;
  Run(host);
  EXPECT_EQ((std::vector<std::string>{"Recherche des enregistrements \"-18 €\"...",
                                      "Correction de l'enregistrement comptable n°1234 (1/1)"}),
            host.statuses);
  database_.SetConnected(false);
  auto table = paradox::Table::Open(dir_ / "CPMAIN.DB", paradox::Table::Access::ReadOnly);
  table->ForEachBlock([&](const std::byte* records, std::size_t, paradox::RecordLocator) {
    EXPECT_EQ(7.0, table->Decode(records, 1).AsFloat());
    for (int f = 2; f <= 7; ++f) {
      EXPECT_FALSE(table->IsBlank(records, f)) << f;
      EXPECT_EQ(0.0, table->Decode(records, f).AsFloat()) << f;
    }
  });
}

TEST_F(CorrectionRunTest, AFailedWriteIsReportedOnceAndTheRunEnds) {
  // MontantSS2 holds whole numbers only: row 5 would need 19.5 there, which the engine refuses.
  MakeCpMain(
      {
          {1, {25, -18, 0, 0, 0, 0, 0}},
          {5, {0, 20, -0.5, 0, 0, 0, 0}},
          {8, {-18, 30, -5, 0, 0, 0, 0}},
      },
      FieldType::Long);
  RecordingHost host;
  const CorrectionSummary summary = Run(host);
  EXPECT_EQ(std::vector<std::string>{Warning(5)}, host.warnings);
  EXPECT_EQ(1, summary.rowsLeft);
  EXPECT_EQ(2, summary.sweeps);  // row 8 needs a second sweep; row 5 is not tried again
  const auto amounts = Amounts();
  EXPECT_EQ((std::vector<double>{7, 0, 0, 0, 0, 0, 0}), amounts.at(1));
  EXPECT_EQ((std::vector<double>{0, 20, -0.5, 0, 0, 0, 0}), amounts.at(5));  // left as it was
  EXPECT_EQ((std::vector<double>{0, 7, 0, 0, 0, 0, 0}), amounts.at(8));
  ASSERT_EQ(1u, host.informations.size());
  EXPECT_EQ(
      "La correction de la comptabilité est terminée, mais 1 enregistrement n'a pas pu être "
      "corrigé et devra l'être manuellement par un technicien de Klinova. Le programme va être "
      "fermé.",
      host.informations[0]);
  EXPECT_TRUE(host.closed);
}

TEST_F(CorrectionRunTest, AmountsThatAreNoNumbersAreLeftForATechnician) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  MakeCpMain({{2, {4321.125, -18, 25, 0, 0, 0, 0}}, {3, {25, -18, 0, 0, 0, 0, 0}}});
  OverwriteAmount(4321.125, nan);
  RecordingHost host;
  const CorrectionSummary summary = Run(host);
  EXPECT_EQ(std::vector<std::string>{Warning(2)}, host.warnings);
  EXPECT_EQ(1, summary.sweeps);
  const auto amounts = Amounts();
  EXPECT_TRUE(std::isnan(amounts.at(2)[0]));
  EXPECT_EQ(-18.0, amounts.at(2)[1]);
  EXPECT_EQ(25.0, amounts.at(2)[2]);
  EXPECT_EQ((std::vector<double>{7, 0, 0, 0, 0, 0, 0}), amounts.at(3));
}

TEST_F(CorrectionRunTest, AnUnreadableSelectionLeavesTheWindowUsable) {
  // No CPMAIN at all: opening the selection fails, and the error reaches the caller.
  RecordingHost host;
  EXPECT_THROW(Run(host), EDatabaseError);
  EXPECT_TRUE(host.enabled);
  EXPECT_FALSE(host.progressVisible);
  EXPECT_EQ(CorrectionHost::Cursor::Default, host.cursor);
  EXPECT_FALSE(host.closed);
}

TEST_F(CorrectionRunTest, TheUpdateIsPreparedOncePerRun) {
  std::vector<Row> rows;
  for (int key = 1; key <= 50; ++key) rows.push_back({key, {25, -18, 0, 0, 0, 0, 0}});
  MakeCpMain(rows);
  RecordingHost host;
  Run(host);
  EXPECT_EQ(1u, update_.PrepareCount());
  EXPECT_TRUE(host.warnings.empty());
  for (const auto& [key, amounts] : Amounts()) EXPECT_EQ(7.0, amounts[0]) << key;
}

TEST_F(CorrectionRunTest, ATableThatCannotBeWrittenIsSaidOnceBeforeAnyRowIsTouched) {
  struct Case {
    const char* what;
    std::optional<FileError::Kind> refuseWriting;
    bool index;
    std::string cause;
  } cases[] = {
      {"read-only file or folder", FileError::Kind::Denied, false,
       "la table CPMAIN est en lecture seule (fichier, dossier ou base de données)"},
      {"held by another program", FileError::Kind::InUse, false,
       "la table CPMAIN est utilisée par un autre programme (Klinova SQL est-il ouvert sur un "
       "poste ?)"},
      {"amount covered by an index", std::nullopt, true,
       "un index secondaire de la table CPMAIN couvre les montants à corriger"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    database_.SetConnected(false);
    fs::remove(dir_ / "CPMAIN.X03");
    fs::remove(dir_ / "CPMAIN.DB");
    fs::remove(dir_ / "CPMAIN.PX");
    MakeCpMain({{1, {25, -18, 0, 0, 0, 0, 0}},
                {2, {0, 0, 0, 0, 0, 0, 0}},
                {3, {-18, 30, -5, 0, 0, 0, 0}},
                {4, {10, -18, 5, 0, 0, 0, 0}}},
               FieldType::Number);
    if (c.index) MakeIndexOnSecondAmount();
    files_.refuseWriting = c.refuseWriting;
    UseFaultyFiles();
    const std::string before = FileBytes();
    RecordingHost host;
    const std::string box = RunStopped(host);
    EXPECT_EQ(0u, box.find("La correction n'a pas été lancée : " + c.cause +
                           ".\rAucun des 3 enregistrements à corriger n'a été modifié."))
        << box;
    EXPECT_EQ(before, FileBytes());
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(1u, host.statuses.size()) << "no row was started";
    EXPECT_TRUE(host.enabled);
    EXPECT_FALSE(host.progressVisible);
    EXPECT_EQ(CorrectionHost::Cursor::Default, host.cursor);
    EXPECT_FALSE(host.closed);
  }
}

// Another program changes a row after the run has selected it but before the run holds the table:
// the run corrects the row as it is once nobody else can write it, so that change is not lost
// (and the amounts the journal keeps as before are those the backup's copy holds).
TEST_F(CorrectionRunTest, AChangeMadeBeforeTheTableIsHeldIsNotLost) {
  MakeCpMain({{1, {25, -18, 0, 0, 0, 0, 0}}, {2, {40, -18, 0, 0, 0, 0, 0}}});
  files_.beforeTakingForWriting = [this] { OverwriteAmount(25, 31.5); };
  UseFaultyFiles();
  RecordingHost host;
  Run(host);
  EXPECT_TRUE(host.warnings.empty());
  const auto amounts = Amounts();
  EXPECT_EQ((std::vector<double>{13.5, 0, 0, 0, 0, 0, 0}), amounts.at(1));
  EXPECT_EQ((std::vector<double>{22, 0, 0, 0, 0, 0, 0}), amounts.at(2));
}

TEST_F(CorrectionRunTest, AFileThatStopsTakingWritesOrReadsStopsTheRunAtOnce) {
  // From the second row on, another program holds a lock on the file, or the share that holds
  // the base is gone (the row's write first reads the record it rewrites).
  struct Case {
    const char* what;
    bool reads;
    FileError::Kind kind;
    std::string cause;
    std::string detail;
    int writes;  // writes tried in all
  } cases[] = {
      {"lock", false, FileError::Kind::InUse,
       "la table CPMAIN est utilisée par un autre programme (Klinova SQL est-il ouvert sur un "
       "poste ?)",
       "violation de verrouillage (simulée)", 2},
      {"share gone", true, FileError::Kind::NetworkLost,
       "la connexion à la base de données a été perdue",
       "le nom réseau n'est plus disponible (simulé)", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    database_.SetConnected(false);
    fs::remove(dir_ / "CPMAIN.DB");
    fs::remove(dir_ / "CPMAIN.PX");
    MakeCpMain({{1, {25, -18, 0, 0, 0, 0, 0}},
                {2, {25, -18, 0, 0, 0, 0, 0}},
                {3, {25, -18, 0, 0, 0, 0, 0}},
                {4, {25, -18, 0, 0, 0, 0, 0}}});
    files_.writes = 0;
    files_.failWritesFrom = c.reads ? 0 : 2;
    files_.writeFailure = c.kind;
    UseFaultyFiles();
    RecordingHost host;
    host.onStatus = [&](const std::string& status) {
      if (c.reads && status.find("(2/4)") != std::string::npos) files_.failReads = c.kind;
    };
    const std::string box = RunStopped(host);
    files_.failReads.reset();
    EXPECT_EQ(0u, box.find("La correction a été interrompue : " + c.cause +
                           ".\r1 enregistrement a été corrigé ; 3 enregistrements n'ont pas été "
                           "corrigés."))
        << box;
    EXPECT_NE(std::string::npos, box.find(c.detail)) << box;
    EXPECT_EQ(c.writes, files_.writes) << "nothing is tried after the failure";
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_TRUE(host.informations.empty());
    EXPECT_FALSE(host.closed);
    EXPECT_TRUE(host.enabled);
    const auto amounts = Amounts();
    EXPECT_EQ((std::vector<double>{7, 0, 0, 0, 0, 0, 0}), amounts.at(1));
    for (int key : {2, 3, 4}) {
      EXPECT_EQ((std::vector<double>{25, -18, 0, 0, 0, 0, 0}), amounts.at(key)) << key;
    }
  }
}

}  // namespace
}  // namespace patchpav
