// In-place updates: exactly the set fields' bytes change, zero is +0.0, untouched blanks stay
// blank, and every refusal or failed write leaves the file as it was.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using patchpav::testing::CpMainSchema;
using testing::FaultyFiles;
using testing::Field;
using testing::FileBytes;
using testing::TemporaryDirectory;

// 200 rows: MontantSS1 = 25, MontantSS2 = -18, the others blank.
void MakeTable(const std::filesystem::path& file) {
  std::vector<std::vector<Value>> rows;
  for (int id = 1; id <= 200; ++id) {
    std::vector<Value> row(9);
    row[0] = Value::Integer(id * 10);
    row[1] = Value::Float(25);
    row[2] = Value::Float(-18);
    rows.push_back(std::move(row));
  }
  Table::Create(file, CpMainSchema({.labelSize = 12}), rows);
}

std::vector<std::size_t> DifferingOffsets(const std::string& a, const std::string& b) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i]) at.push_back(i);
  }
  return at;
}

TEST(UpdateTest, WritesExactlyTheBytesOfTheSetFields) {
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  MakeTable(file);
  const auto before = FileBytes(file);
  {
    const auto table = Table::Open(file, Table::Access::ReadWrite);
    const std::vector<Value> key = {Value::Integer(1500)};
    const auto where = table->FindByKey(key);
    ASSERT_TRUE(where);
    // MontantSS1 25 -> 7, MontantSS2 -18 -> 0, MontantSS5 (blank, not set) stays blank.
    const std::vector<Table::FieldChange> changes = {{1, Value::Float(7)}, {2, Value::Float(-0.0)}};
    table->Update(*where, changes);
    // The open table sees its own write.
    bool checked = false;
    table->ForEachBlock([&](const std::byte* records, std::size_t count, RecordLocator first) {
      if (first.block != where->block) return;
      ASSERT_GT(count, where->slot);
      const std::byte* record =
          records + where->slot * static_cast<std::size_t>(table->RecordSize());
      EXPECT_EQ(table->Decode(record, 1), Value::Float(7.0));
      EXPECT_FALSE(std::signbit(table->Decode(record, 2).AsFloat()));
      EXPECT_TRUE(table->IsBlank(record, 5));
      checked = true;
    });
    EXPECT_TRUE(checked);
  }
  const auto after = FileBytes(file);
  ASSERT_EQ(after.size(), before.size());
  const auto changed = DifferingOffsets(before, after);
  ASSERT_FALSE(changed.empty());
  // The record of key 1500 (80 00 05 DC); MontantSS1 follows the 4-byte key.
  const std::string keyBytes = {'\x80', 0, 5, '\xDC'};
  const auto record = std::search(after.begin(), after.end(), keyBytes.begin(), keyBytes.end());
  ASSERT_NE(record, after.end());
  const auto ss1 = static_cast<std::size_t>(record - after.begin()) + 4;
  EXPECT_GE(changed.front(), ss1);
  EXPECT_LT(changed.back(), ss1 + 16);
  // 7 is C0 1C 00 ..., +0.0 is 80 00 ... (never 7F FF ... for -0.0)
  const std::vector<unsigned char> expected = {0xC0, 0x1C, 0, 0, 0, 0, 0, 0,
                                               0x80, 0,    0, 0, 0, 0, 0, 0};
  const std::vector<unsigned char> written(after.begin() + static_cast<std::ptrdiff_t>(ss1),
                                           after.begin() + static_cast<std::ptrdiff_t>(ss1 + 16));
  EXPECT_EQ(written, expected);

  const auto reopened = Table::Open(file, Table::Access::ReadOnly);
  const std::vector<Value> key = {Value::Integer(1500)};
  EXPECT_TRUE(reopened->FindByKey(key));
}

TEST(UpdateTest, NullWritesABlankAndOtherFieldsKeepTheirBytes) {
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  MakeTable(file);
  const auto before = FileBytes(file);
  {
    const auto table = Table::Open(file, Table::Access::ReadWrite);
    const std::vector<Value> key = {Value::Integer(10)};
    const std::vector<Table::FieldChange> changes = {{3, Value()}, {8, Value::Text("Réglé")}};
    table->Update(*table->FindByKey(key), changes);
  }
  const auto changed = DifferingOffsets(before, FileBytes(file));
  // MontantSS3 was blank and is written blank: only Libelle's 5 bytes differ.
  EXPECT_EQ(changed.size(), 5u);
  const auto table = Table::Open(file, Table::Access::ReadOnly);
  const auto rows = testing::ReadAllRows(*table);
  EXPECT_EQ(rows[0][8], Value::Text("Réglé"));
  EXPECT_EQ(rows[0][1], Value::Float(25));
  EXPECT_TRUE(rows[0][3].IsNull());
}

TEST(UpdateTest, RefusalsWriteNothing) {
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  MakeTable(file);
  // A secondary index on MontantSS4 (DB field 5), as Paradox names one: CPMAIN.X05 whose header
  // lists the indexed field first. We make it with our own writer: a table of the index's fields.
  {
    TableSchema index;
    index.fields = {Field("Sec Key", FieldType::Number), Field("CPMain_ID", FieldType::Long),
                    Field("Hint", FieldType::Short)};
    Table::Create(dir / "CPMAIN.X05", index, {});
    auto bytes = FileBytes(dir / "CPMAIN.X05");
    bytes[0x15] = 5;
    testing::WriteFileBytes(dir / "CPMAIN.X05", bytes);
  }
  // A composite index whose header names MontantSS6 (DB field 7) only in its field numbers.
  {
    TableSchema index;
    index.fields = {Field("Sec Key", FieldType::Number), Field("CPMain_ID", FieldType::Long),
                    Field("Hint", FieldType::Short)};
    Table::Create(dir / "cpmain.xg0", index, {});
    auto bytes = FileBytes(dir / "cpmain.xg0");
    // field numbers follow the descriptors, the pointers, the 261-byte name and the field names
    const std::size_t numbers =
        0x78 + 2 * 3 + 4 + 4 * 3 + 261 + sizeof("Sec Key") + sizeof("CPMain_ID") + sizeof("Hint");
    ASSERT_EQ(bytes[numbers], 1);
    bytes[numbers] = 7;
    testing::WriteFileBytes(dir / "cpmain.xg0", bytes);
  }
  const auto before = FileBytes(file);
  // The fault tells a caller which refusals every record of the table would meet alike.
  struct Case {
    const char* what;
    Table::Access access;
    std::vector<Table::FieldChange> changes;
    DatabaseFault fault = DatabaseFault::Unspecified;
  } cases[] = {
      {"key field", Table::Access::ReadWrite, {{1, Value::Float(1)}, {0, Value::Integer(5)}}},
      {"indexed field",
       Table::Access::ReadWrite,
       {{1, Value::Float(1)}, {4, Value::Float(0)}},
       DatabaseFault::IndexedField},
      {"field of a composite index",
       Table::Access::ReadWrite,
       {{6, Value::Float(0)}},
       DatabaseFault::IndexedField},
      {"read only", Table::Access::ReadOnly, {{1, Value::Float(1)}}},
      {"text too long",
       Table::Access::ReadWrite,
       {{1, Value::Float(1)}, {8, Value::Text("0123456789abc")}}},
      {"not a number", Table::Access::ReadWrite, {{1, Value::Float(1)}, {2, Value::Text("abc")}}},
      {"not finite",
       Table::Access::ReadWrite,
       {{1, Value::Float(std::numeric_limits<double>::infinity())}}},
      {"no such field", Table::Access::ReadWrite, {{1, Value::Float(1)}, {9, Value::Float(1)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto table = Table::Open(file, c.access);
    const std::vector<Value> key = {Value::Integer(20)};
    const auto where = table->FindByKey(key);
    ASSERT_TRUE(where);
    try {
      table->Update(*where, c.changes);
      ADD_FAILURE() << "accepted";
    } catch (const EDatabaseError& e) {
      EXPECT_THAT(e.what(), ::testing::HasSubstr("CPMAIN"));
      EXPECT_EQ(e.Fault(), c.fault);
    }
    if (c.fault == DatabaseFault::IndexedField) {
      std::vector<int> fields;
      for (const Table::FieldChange& change : c.changes) fields.push_back(change.field);
      EXPECT_THROW(table->CheckWritable(fields), EDatabaseError) << "said before any write";
    }
    const RecordLocator nowhere{where->block, 60000};
    const std::vector<Table::FieldChange> fine = {{1, Value::Float(1)}};
    EXPECT_THROW(table->Update(nowhere, fine), EDatabaseError);
  }
  EXPECT_EQ(FileBytes(file), before);
  // The index does not stop fields it does not hold.
  const auto table = Table::Open(file, Table::Access::ReadWrite);
  const std::vector<Value> key = {Value::Integer(20)};
  const std::vector<Table::FieldChange> fine = {{5, Value::Float(1)}};
  EXPECT_NO_THROW(table->Update(*table->FindByKey(key), fine));
}

TEST(UpdateTest, AnUnreadableIndexFileStopsEveryUpdate) {
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  MakeTable(file);
  testing::WriteFileBytes(dir / "CPMAIN.X03", "non");
  const auto before = FileBytes(file);
  const auto table = Table::Open(file, Table::Access::ReadWrite);
  const std::vector<Value> key = {Value::Integer(20)};
  const std::vector<Table::FieldChange> change = {{7, Value::Float(0)}};
  try {
    table->Update(*table->FindByKey(key), change);
    ADD_FAILURE() << "accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("CPMAIN.X03"));
  }
  EXPECT_EQ(FileBytes(file), before);
}

TEST(UpdateTest, AFailedWriteOrFlushIsAnErrorNamingTheTable) {
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  MakeTable(file);
  const auto before = FileBytes(file);
  for (const auto op : {FaultyFiles::Op::Write, FaultyFiles::Op::Read}) {
    FaultyFiles files(op);
    const auto table = Table::Open(file, Table::Access::ReadWrite, 1252, files);
    files.FailNth(1);
    const std::vector<Value> key = {Value::Integer(30)};
    const std::vector<Table::FieldChange> changes = {{1, Value::Float(1)}, {2, Value::Float(0)}};
    try {
      table->Update(*table->FindByKey(key), changes);
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_THAT(e.what(), ::testing::HasSubstr("CPMAIN"));
    }
    EXPECT_EQ(FileBytes(file), before);
  }
}

// An update writes at once and flushes nothing: the caller's Flush puts every write since the
// last one on the disk with one flush, and a flush that fails leaves them due.
TEST(UpdateTest, WritesLandAtOnceAndOneFlushCoversThemAll) {
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  MakeTable(file);
  const auto before = FileBytes(file);
  FaultyFiles files(FaultyFiles::Op::Flush);
  const auto table = Table::Open(file, Table::Access::ReadWrite, 1252, files);
  files.FailNth(2);  // the second flush fails
  table->Flush();
  EXPECT_EQ(0, files.Count()) << "nothing written, nothing to flush";
  const std::vector<Table::FieldChange> changes = {{1, Value::Float(1)}};
  for (int id : {30, 40, 50}) {
    table->Update(*table->FindByKey(std::vector<Value>{Value::Integer(id)}), changes);
  }
  EXPECT_EQ(0, files.Count());
  // Another program reading the file sees the writes before any flush (two bytes of each
  // record's first amount differ between 25 and 1).
  EXPECT_EQ(6u, DifferingOffsets(before, FileBytes(file)).size());
  table->Flush();
  EXPECT_EQ(1, files.Count()) << "one flush for the three writes";
  table->Flush();
  EXPECT_EQ(1, files.Count()) << "nothing written since";

  table->Update(*table->FindByKey(std::vector<Value>{Value::Integer(60)}), changes);
  try {
    table->Flush();
    ADD_FAILURE() << "a failed flush was reported as done";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("CPMAIN"));
  }
  table->Flush();
  EXPECT_EQ(3, files.Count()) << "the write stayed due after the failed flush";
}

}  // namespace
}  // namespace patchpav::paradox
