// The correction on CPMAIN shaped as the product has it: a key, dates, a patient number, labels
// in the table's code page, the seven amounts, a total, a secondary index on the patient number,
// and more columns of every type, some of them holding bytes that do not decode.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "correction/CorrectionHost.h"
#include "correction/CorrectionRun.h"
#include "correction/RunTestSupport.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/core/Errors.h"
#include "engine/drivers/paradox/LanguageDriver.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/LocalDriver.h"
#include "mkdemobase/DemoBase.h"
#include "support/FieldBuilders.h"
#include "support/FileBytes.h"
#include "support/TemporaryDirectory.h"

namespace patchpav {
namespace {

namespace fs = std::filesystem;
using paradox::FieldDef;
using paradox::FieldType;
using paradox::Table;
using testing::Field;
using testing::FileBytes;
using testing::RecordingHost;
using testing::TemporaryDirectory;
using testing::UseTestEngineConfig;

const char kAlias[] = "CpMainShapeBase";
const char kFinished[] =
    "La correction de la comptabilité est terminée. Le programme va être fermé.";

// Every record's bytes by its key's bytes, read from the file as it is now.
std::map<std::string, std::string> Records(const fs::path& file) {
  const auto table = Table::Open(file, Table::Access::ReadOnly);
  const auto size = static_cast<std::size_t>(table->RecordSize());
  std::map<std::string, std::string> records;
  table->ForEachBlock([&](const std::byte* bytes, std::size_t count, paradox::RecordLocator) {
    for (std::size_t i = 0; i < count; ++i) {
      const auto* record = reinterpret_cast<const char*>(bytes + i * size);
      records.emplace(std::string(record, 4), std::string(record, size));
    }
  });
  return records;
}

class CpMainShapeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    UseTestEngineConfig();
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    if (!EngineSession().AliasExists(kAlias)) EngineSession().AddLocalAlias(kAlias, "", "PARADOX");
  }
  void TearDown() override { database_.SetConnected(false); }

  CorrectionSummary Run(RecordingHost& host) {
    database_.SetDatabaseName(kAlias);
    database_.Params().Clear();
    database_.Params().Add("PATH=" + dir_.Path().string());
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
    const CorrectionSummary summary = RunCorrection(select_, update_, host);
    database_.SetConnected(false);
    return summary;
  }

  // Runs the correction and checks that it corrected every row with a negative amount, wrote
  // nothing but amounts, and left the indexes as they were.
  void ExpectCorrectedWhole() {
    const fs::path file = dir_ / "CPMAIN.DB";
    const auto before = Records(file);
    std::vector<int> amounts;
    int negative = 0;
    {
      const auto table = Table::Open(file, Table::Access::ReadOnly);
      for (int i = 1; i <= 7; ++i) {
        amounts.push_back(table->Schema().FindField("MontantSS" + std::to_string(i)).value());
      }
      for (const auto& [key, record] : before) {
        const auto* bytes = reinterpret_cast<const std::byte*>(record.data());
        bool any = false;
        for (const int f : amounts) any |= table->Decode(bytes, f).AsFloat() < 0;
        negative += any ? 1 : 0;
      }
    }
    ASSERT_GT(negative, 0);
    std::map<std::string, std::string> others;
    for (const char* name : {"CPMAIN.PX", "CPMAIN.X03", "CPMAIN.Y03", "CPMAIN.MB"}) {
      if (fs::exists(dir_ / name)) others[name] = FileBytes(dir_ / name);
    }

    RecordingHost host;
    const CorrectionSummary summary = Run(host);
    EXPECT_EQ(host.warnings, std::vector<std::string>{});
    EXPECT_EQ(host.informations, std::vector<std::string>{kFinished});
    EXPECT_GE(summary.rowsWritten, negative);  // a row may take two sweeps
    EXPECT_EQ(summary.rowsLeft, 0);

    const auto after = Records(file);
    ASSERT_EQ(after.size(), before.size());
    const auto table = Table::Open(file, Table::Access::ReadOnly);
    for (const auto& [key, record] : after) {
      const std::string& old = before.at(key);
      const auto* bytes = reinterpret_cast<const std::byte*>(record.data());
      std::string outside = record;
      std::string oldOutside = old;
      for (const int field : amounts) {
        EXPECT_GE(table->Decode(bytes, field).AsFloat(), 0.0);
        const FieldDef& f = table->Schema().fields[static_cast<std::size_t>(field)];
        outside.replace(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.size),
                        static_cast<std::size_t>(f.size), '\0');
        oldOutside.replace(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.size),
                           static_cast<std::size_t>(f.size), '\0');
      }
      EXPECT_EQ(outside, oldOutside) << "a byte outside the amounts changed";
    }
    for (const auto& [name, bytes] : others) EXPECT_EQ(FileBytes(dir_ / name), bytes) << name;
  }

  TemporaryDirectory dir_;
  TDatabase database_;
  TQuery select_;
  TQuery update_;
};

TEST_F(CpMainShapeTest, TheDemoBaseIsCorrectedWhole) {
  demo::DemoOptions options;
  options.directory = dir_.Path();
  options.rows = 3000;
  options.negativeShare = 0.05;
  demo::WriteDemoBase(options);
  ASSERT_TRUE(fs::exists(dir_ / "CPMAIN.X03"));
  ExpectCorrectedWhole();
}
// The demo CPMAIN in HP Roman-8, as the desktop product wrote a real one, with a column of every
// other type after its own. Two rows that the run corrects hold bytes that do not decode in
// columns the run never reads: a BCD value without its marker bit, a memo whose rest lies in a .MB
// file that is not there. The run corrects every row and leaves those bytes as they were.
TEST_F(CpMainShapeTest, UndecodableValuesInColumnsTheRunDoesNotReadStopNothing) {
  paradox::TableSchema schema = demo::CpMainSchema();
  schema.codePage = paradox::kHpRoman8;
  const std::vector<FieldDef> extra = {Field("Seance", FieldType::Short),
                                       Field("Regle", FieldType::Logical),
                                       Field("HeureActe", FieldType::Time),
                                       Field("Saisie", FieldType::Timestamp),
                                       Field("Coefficient", FieldType::Bcd, 0, 32),
                                       Field("Cle", FieldType::Bytes, 6),
                                       Field("Note", FieldType::Memo, 20),
                                       Field("Scan", FieldType::Blob, 14),
                                       Field("Lettre", FieldType::FormattedMemo, 14),
                                       Field("Objet", FieldType::Ole, 14),
                                       Field("Image", FieldType::Graphic, 14),
                                       Field("Numero", FieldType::AutoIncrement)};
  schema.fields.insert(schema.fields.end(), extra.begin(), extra.end());
  demo::CpMainRows source(1500, 0.05, 3);
  std::vector<std::vector<Value>> rows;
  std::vector<Value> row;
  while (source.Next(row)) {
    const std::int64_t id = row[0].AsInteger();
    row.insert(row.end(),
               {Value::Integer(id % 7), Value::Integer(id % 2), Value::Integer(36000000 + id),
                Value::Float(6.38e13 + id), Value::Float(id % 2 ? 0.123 : -0.123),
                Value::Text("k\x01y"), Value::Text("Réglé"), Value::Text("bin"), Value::Text("fmt"),
                Value::Text("ole"), Value::Text("gif"), Value::Integer(id)});
    rows.push_back(row);
  }
  const fs::path file = dir_ / "CPMAIN.DB";
  Table::Create(file, schema, rows);
  demo::WriteNoPatientIndex(dir_.Path());

  // Damage two rows that hold a negative amount.
  std::vector<std::string> damagedKeys;
  std::string bytes = FileBytes(file);
  {
    const auto table = Table::Open(file, Table::Access::ReadOnly);
    const FieldDef& bcd = table->Schema().fields[*table->Schema().FindField("Coefficient")];
    const FieldDef& memo = table->Schema().fields[*table->Schema().FindField("Note")];
    for (const auto& [key, record] : Records(file)) {
      const auto* r = reinterpret_cast<const std::byte*>(record.data());
      bool negative = false;
      for (int i = 1; i <= 7; ++i) {
        negative |= table->Decode(r, *table->Schema().FindField("MontantSS" + std::to_string(i)))
                        .AsFloat() < 0;
      }
      if (!negative) continue;
      const std::size_t at = bytes.find(record);
      ASSERT_NE(at, std::string::npos);
      if (damagedKeys.empty()) {
        // The first byte always has bit 6 set, whether the value is positive or negative.
        bytes[at + static_cast<std::size_t>(bcd.offset)] = '\x80';
      } else {
        // The memo's length says more than its leader holds: the rest would be in CPMAIN.MB.
        bytes[at + static_cast<std::size_t>(memo.offset + memo.size - 10) + 4] = 100;
      }
      damagedKeys.push_back(key);
      if (damagedKeys.size() == 2) break;
    }
    ASSERT_EQ(damagedKeys.size(), 2u);
  }
  // Written once the table is closed: Windows keeps others from writing a file we have open.
  testing::WriteFileBytes(file, bytes);
  {
    // Those values cannot be read: a reader that asks for them is told which and where.
    const auto table = Table::Open(file, Table::Access::ReadOnly);
    const auto records = Records(file);
    const auto* first = reinterpret_cast<const std::byte*>(records.at(damagedKeys[0]).data());
    const auto* second = reinterpret_cast<const std::byte*>(records.at(damagedKeys[1]).data());
    EXPECT_THROW(table->Decode(first, *table->Schema().FindField("Coefficient")), EDatabaseError);
    EXPECT_THROW(table->Decode(second, *table->Schema().FindField("Note")), EDatabaseError);
    EXPECT_EQ(table->Decode(first, 3).AsText().empty(), false);
  }
  ExpectCorrectedWhole();
}

}  // namespace
}  // namespace patchpav
