// Tables that we create read back value for value, at every level, with their code page, and
// keyed tables find each record by key however many index levels they need.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/AllTypesTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using testing::AllTypes;
using testing::AllTypesRows;
using testing::Field;
using testing::ReadAllRows;
using testing::TempDir;

// What a value reads back as: the empty text is a blank, a BCD value is rounded to its decimals.
Value Expected(const Value& given) {
  if (given.GetKind() == Value::Kind::Text && given.AsText().empty()) return Value();
  return given;
}

TEST(TableRoundTripTest, EveryFieldTypeAtEveryLevelReadsBackAsWritten) {
  for (const int level : {0x09, 0x0A, 0x0B, 0x0C}) {
    SCOPED_TRACE("level " + std::to_string(level));
    TempDir dir;
    const TableSchema schema = AllTypes(level);
    const auto rows = AllTypesRows(schema);
    Table::Create(dir / "TYPES.DB", schema, rows);
    const auto table = Table::Open(dir / "TYPES.DB", Table::Access::ReadOnly);
    EXPECT_EQ(table->Name(), "TYPES");
    EXPECT_EQ(table->RecordCount(), rows.size());
    EXPECT_EQ(table->Schema().fileVersion, level);
    ASSERT_EQ(table->Schema().fields.size(), schema.fields.size());
    for (std::size_t f = 0; f < schema.fields.size(); ++f) {
      EXPECT_EQ(table->Schema().fields[f].name, schema.fields[f].name);
      EXPECT_EQ(table->Schema().fields[f].type, schema.fields[f].type);
    }
    const auto read = ReadAllRows(*table);
    ASSERT_EQ(read.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t f = 0; f < rows[r].size(); ++f) {
        SCOPED_TRACE("row " + std::to_string(r) + " field " + schema.fields[f].name);
        const Value want = Expected(rows[r][f]);
        if (want.GetKind() == Value::Kind::Float) {
          ASSERT_EQ(read[r][f].GetKind(), Value::Kind::Float);
          // bit for bit, so that -0.0/+0.0 and the last ulp count
          const double got = read[r][f].AsFloat();
          EXPECT_EQ(std::bit_cast<std::uint64_t>(got),
                    std::bit_cast<std::uint64_t>(want.AsFloat()));
        } else {
          EXPECT_EQ(read[r][f], want);
        }
      }
    }
  }
}

TEST(TableRoundTripTest, AlphaTextUsesTheTableCodePageOrTheDefault) {
  TempDir dir;
  struct Case {
    int codePage;
    unsigned char storedE;  // how "é" is stored
  } cases[] = {{437, 0x82}, {850, 0x82}, {1252, 0xE9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    TableSchema s;
    s.codePage = c.codePage;
    s.fields = {Field("Nom", FieldType::Alpha, 10)};
    const std::vector<std::vector<Value>> rows = {{Value::Text("é")}};
    Table::Create(dir / "CP.DB", s, rows, true);
    const auto bytes = testing::FileBytes(dir / "CP.DB");
    const auto table = Table::Open(dir / "CP.DB", Table::Access::ReadOnly, 437);
    EXPECT_EQ(table->Schema().codePage, c.codePage);
    EXPECT_EQ(ReadAllRows(*table)[0][0], Value::Text("é"));
    EXPECT_NE(std::find(bytes.begin(), bytes.end(), static_cast<char>(c.storedE)), bytes.end());
  }
  // A table that names no code page (0 in the header) is read with the default given to Open.
  auto bytes = testing::FileBytes(dir / "CP.DB");
  bytes[0x6A] = 0;
  bytes[0x6B] = 0;
  testing::WriteFileBytes(dir / "CP.DB", bytes);
  EXPECT_EQ(ReadAllRows(*Table::Open(dir / "CP.DB", Table::Access::ReadOnly, 1252))[0][0],
            Value::Text("é"));
  EXPECT_EQ(ReadAllRows(*Table::Open(dir / "CP.DB", Table::Access::ReadOnly, 850))[0][0],
            Value::Text("Ú"));
}

TEST(TableRoundTripTest, CreateRefusesWhatItCannotWrite) {
  TempDir dir;
  TableSchema keyed;
  keyed.keyFieldCount = 1;
  keyed.fields = {Field("ID", FieldType::Long), Field("Nom", FieldType::Alpha, 3)};
  struct Case {
    const char* what;
    std::vector<std::vector<Value>> rows;
  } cases[] = {
      {"keys out of order", {{Value::Integer(2), Value()}, {Value::Integer(1), Value()}}},
      {"duplicate key", {{Value::Integer(1), Value()}, {Value::Integer(1), Value()}}},
      {"text too long", {{Value::Integer(1), Value::Text("abcd")}}},
      {"no such character", {{Value::Integer(1), Value::Text("€€")}}},
      {"blank marker value", {{Value::Integer(-2147483648LL), Value()}}},
      {"fraction in an integer", {{Value::Float(1.5), Value()}}},
      {"missing value", {{Value::Integer(1)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TableSchema s = keyed;
    if (std::string(c.what) == "no such character") s.codePage = 437;
    EXPECT_THROW(Table::Create(dir / "BAD.DB", s, c.rows), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(dir / "BAD.DB"));
  }
  Table::Create(dir / "T.DB", keyed, {});
  EXPECT_THROW(Table::Create(dir / "T.DB", keyed, {}), EDatabaseError);  // exists
}

TEST(TableRoundTripTest, FindByKeyFindsEveryRecordWithoutAScan) {
  // 100,000 rows need a two-level primary index; every key is found where the scan saw it.
  TempDir dir;
  TableSchema s;
  s.keyFieldCount = 2;
  s.fields = {Field("A", FieldType::Short), Field("B", FieldType::Long),
              Field("N", FieldType::Number)};
  std::vector<std::vector<Value>> rows;
  for (int i = 0; i < 100000; ++i) {
    rows.push_back(
        {Value::Integer(i / 1000 - 50), Value::Integer(i % 1000 * 3 - 7), Value::Float(i)});
  }
  Table::Create(dir / "K.DB", s, rows);
  EXPECT_TRUE(std::filesystem::exists(dir / "K.PX"));
  const auto table = Table::Open(dir / "K.DB", Table::Access::ReadWrite);
  std::vector<RecordLocator> seen;
  table->ForEachBlock([&](const std::byte*, std::size_t count, RecordLocator first) {
    for (std::size_t i = 0; i < count; ++i)
      seen.push_back({first.block, static_cast<std::uint16_t>(i)});
  });
  ASSERT_EQ(seen.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); i += 97) {
    const std::vector<Value> key = {rows[i][0], rows[i][1]};
    const auto found = table->FindByKey(key);
    ASSERT_TRUE(found) << i;
    EXPECT_EQ(found->block, seen[i].block);
    EXPECT_EQ(found->slot, seen[i].slot);
  }
  const std::vector<Value> missing = {Value::Integer(0), Value::Integer(3)};
  EXPECT_FALSE(table->FindByKey(missing));
  const std::vector<Value> below = {Value::Integer(-32767), Value::Integer(0)};
  EXPECT_FALSE(table->FindByKey(below));
  const std::vector<Value> tooShort = {Value::Integer(0)};
  EXPECT_THROW(table->FindByKey(tooShort), EDatabaseError);
}

// Where a record of the table lies in the file.
std::size_t RecordOffset(const std::vector<char>& file, RecordLocator at, int recordSize) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(file[i]); };
  const std::size_t headerSize = byteAt(2) | byteAt(3) << 8;
  const std::size_t blockSize = byteAt(5) * std::size_t{1024};
  return headerSize + (at.block - 1u) * blockSize + 6 + at.slot * std::size_t(recordSize);
}

TEST(TableRoundTripTest, LookUpsByKeyAfterEveryKindOfFirstPass) {
  // The chain is walked by the first scan; a look-up must find every key whether that scan ran
  // whole, stopped early, or never ran, and whether or not the file keeps its keys in order.
  TempDir dir;
  TableSchema s;
  s.keyFieldCount = 1;
  s.fields = {Field("ID", FieldType::Long), Field("N", FieldType::Number)};
  std::vector<std::vector<Value>> rows;
  for (int i = 1; i <= 2000; ++i) rows.push_back({Value::Integer(i * 10), Value::Float(i)});
  Table::Create(dir / "K.DB", s, rows);
  const std::vector<char> sorted = testing::FileBytes(dir / "K.DB");
  const int recordSize = Table::Open(dir / "K.DB", Table::Access::ReadOnly)->RecordSize();

  struct Layout {
    const char* what;
    RecordLocator a, b;         // two records whose bytes trade places
    std::uint16_t emptied = 0;  // a block whose records are deleted, as a program deleting rows
                                // leaves it
  };
  const Layout layouts[] = {
      {"keys in order", {1, 0}, {1, 0}},
      {"two records of one block swapped", {2, 3}, {2, 7}},
      {"records of two blocks swapped", {1, 5}, {10, 2}},
      {"last record moved first", {1, 0}, {0, 0}},
      {"a middle block emptied", {1, 0}, {1, 0}, 4},
      {"the first block emptied", {1, 0}, {1, 0}, 1},
  };
  enum class FirstPass { None, Whole, StoppedByTheVisitor };
  for (const Layout& layout : layouts) {
    std::vector<char> bytes = sorted;
    RecordLocator b = layout.b;
    if (b.block == 0) {
      // The chain's last record: found by the table itself on the sorted file.
      const auto table = Table::Open(dir / "K.DB", Table::Access::ReadOnly);
      table->ForEachBlock([&](const std::byte*, std::size_t count, RecordLocator first) {
        if (count > 0) b = {first.block, static_cast<std::uint16_t>(count - 1)};
      });
    }
    const std::size_t at = RecordOffset(bytes, layout.a, recordSize);
    const std::size_t bt = RecordOffset(bytes, b, recordSize);
    for (int i = 0; i < recordSize; ++i) std::swap(bytes[at + i], bytes[bt + i]);
    int removed = 0;
    if (layout.emptied != 0) {
      // addDataSize below zero: no records; the header's count drops by what the block held.
      const std::size_t add = RecordOffset(bytes, {layout.emptied, 0}, recordSize) - 2;
      const int held = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[add]) |
                                                 static_cast<unsigned char>(bytes[add + 1]) << 8) /
                           recordSize +
                       1;
      bytes[add] = static_cast<char>(-recordSize & 0xFF);
      bytes[add + 1] = static_cast<char>((-recordSize >> 8) & 0xFF);
      std::uint32_t records;
      std::memcpy(&records, bytes.data() + 6, 4);  // little-endian, as on the test machines
      records -= static_cast<std::uint32_t>(held);
      removed = held;
      std::memcpy(bytes.data() + 6, &records, 4);
    }
    testing::WriteFileBytes(dir / "K.DB", bytes);

    // Where each key lies, as a scan of another opening of the file sees it.
    std::vector<std::pair<std::int64_t, RecordLocator>> seen;
    const auto scanned = Table::Open(dir / "K.DB", Table::Access::ReadOnly);
    scanned->ForEachBlock([&](const std::byte* records, std::size_t count, RecordLocator first) {
      for (std::size_t i = 0; i < count; ++i) {
        seen.emplace_back(scanned->Decode(records + i * recordSize, 0).AsInteger(),
                          RecordLocator{first.block, static_cast<std::uint16_t>(i)});
      }
    });
    for (const FirstPass pass :
         {FirstPass::None, FirstPass::Whole, FirstPass::StoppedByTheVisitor}) {
      SCOPED_TRACE(std::string(layout.what) + ", first pass " + std::to_string(int(pass)));
      const auto table = Table::Open(dir / "K.DB", Table::Access::ReadOnly);
      if (pass == FirstPass::Whole) ReadAllRows(*table);
      if (pass == FirstPass::StoppedByTheVisitor) {
        int visits = 0;
        EXPECT_THROW(table->ForEachBlock([&](const std::byte*, std::size_t, RecordLocator) {
          if (++visits == 3) throw std::runtime_error("stop");
        }),
                     std::runtime_error);
      }
      ASSERT_EQ(seen.size() + static_cast<std::size_t>(removed), rows.size());
      for (const auto& [key, where] : seen) {
        const std::vector<Value> k = {Value::Integer(key)};
        const auto found = table->FindByKey(k);
        ASSERT_TRUE(found) << key;
        EXPECT_EQ(found->block, where.block) << key;
        EXPECT_EQ(found->slot, where.slot) << key;
      }
      EXPECT_FALSE(table->FindByKey(std::vector<Value>{Value::Integer(15)}));
      std::size_t found = 0;  // the keys of an emptied block are gone
      for (const auto& row : rows) found += table->FindByKey(std::vector<Value>{row[0]}) ? 1 : 0;
      EXPECT_EQ(found, seen.size());
    }
  }
}

}  // namespace
}  // namespace patchpav::paradox
