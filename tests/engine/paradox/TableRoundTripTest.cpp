// Tables that we create read back value for value, at every level, with their code page, and
// keyed tables find each record by key however many index levels they need.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/LanguageDriver.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/AllTypesTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using testing::AllTypes;
using testing::AllTypesRows;
using testing::Field;
using testing::ReadAllRows;
using testing::TemporaryDirectory;

// What a value reads back as: the empty text is a blank, a BCD value is rounded to its decimals.
Value Expected(const Value& given) {
  if (given.GetKind() == Value::Kind::Text && given.AsText().empty()) return Value();
  return given;
}

TEST(TableRoundTripTest, EveryFieldTypeAtEveryLevelReadsBackAsWritten) {
  for (const int level : {0x09, 0x0A, 0x0B, 0x0C}) {
    SCOPED_TRACE("level " + std::to_string(level));
    TemporaryDirectory dir;
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
  TemporaryDirectory dir;
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
}

// The code page comes from the language driver's name when we know it, else from the header's
// code-page word, else from the default given to Open. The text is the one a real table holds in
// HP Roman-8 (bytes EB F8 BE F4), which Windows-1252 would show as "ëø¾ô".
TEST(TableRoundTripTest, LanguageDriverNameGivesTheCodePage) {
  const std::string roman8 = "\xEB\xF8\xBE\xF4";
  struct Case {
    const char* name;  // replaces "ANSIINTL" after the field numbers
    int word;          // the header's code-page word
    int defaultCodePage;
    int codePage;
    const char* text;
  } cases[] = {
      {"BLROM800", 0, 1252, kHpRoman8, "Š½ƒ¶"},
      {"blrom800", 1252, 1252, kHpRoman8, "Š½ƒ¶"},  // the name wins, in any case
      {"ANSIINTL", 0, 850, 1252, "ëø¾ô"},
      {"DB850FR0", 1252, 1252, 850, "Ù°¥¶"},
      {"DB437US0", 0, 1252, 437, "δ°╛⌠"},
      {"NOSUCHLD", 850, 1252, 850, "Ù°¥¶"},  // unknown: the word, as before
      {"NOSUCHLD", 0, 1252, 1252, "ëø¾ô"},   // unknown and no word: the default
      {"", 0, 850, 850, "Ù°¥¶"},
  };
  TemporaryDirectory dir;
  TableSchema s;
  s.fields = {Field("Libelle", FieldType::Alpha, 10)};
  Table::Create(dir / "LD.DB", s, std::vector<std::vector<Value>>{{Value::Text("x")}});
  const auto original = testing::FileBytes(dir / "LD.DB");
  const std::string ansi = "ANSIINTL";
  const auto nameAt = std::search(original.begin(), original.end(), ansi.begin(), ansi.end());
  const auto textAt = std::find(original.begin() + 0x800, original.end(), 'x');
  ASSERT_NE(nameAt, original.end());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.word));
    auto bytes = original;
    std::fill_n(bytes.begin() + (nameAt - original.begin()), ansi.size(), '\0');
    std::copy_n(c.name, std::strlen(c.name), bytes.begin() + (nameAt - original.begin()));
    bytes[0x6A] = static_cast<char>(c.word & 0xFF);
    bytes[0x6B] = static_cast<char>(c.word >> 8);
    std::copy(roman8.begin(), roman8.end(), bytes.begin() + (textAt - original.begin()));
    testing::WriteFileBytes(dir / "LD.DB", bytes);
    const auto table = Table::Open(dir / "LD.DB", Table::Access::ReadOnly, c.defaultCodePage);
    EXPECT_EQ(table->Schema().codePage, c.codePage);
    EXPECT_EQ(ReadAllRows(*table)[0][0], Value::Text(c.text));
  }
}

// A Bytes value holds zeros of its own: only the zeros after its last other byte are padding.
TEST(TableRoundTripTest, BytesValuesKeepTheirZeros) {
  TemporaryDirectory dir;
  TableSchema s;
  s.fields = {Field("Cle", FieldType::Bytes, 6)};
  const std::vector<std::string> values = {std::string("a\0b\xFF", 4), std::string("\0\0x", 3),
                                           std::string("abcdef")};
  std::vector<std::vector<Value>> rows;
  for (const std::string& v : values) rows.push_back({Value::Text(v)});
  Table::Create(dir / "B.DB", s, rows);
  const auto read = ReadAllRows(*Table::Open(dir / "B.DB", Table::Access::ReadOnly));
  ASSERT_EQ(read.size(), values.size());
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(read[i][0], Value::Text(values[i]));
}

// A table we create in HP Roman-8 carries 0 as its code-page word and the driver's name, as the
// desktop product writes it.
TEST(TableRoundTripTest, HpRoman8TablesAreWrittenAsTheDesktopProductWritesThem) {
  TemporaryDirectory dir;
  TableSchema s;
  s.codePage = kHpRoman8;
  s.fields = {Field("Libelle", FieldType::Alpha, 10)};
  Table::Create(dir / "R8.DB", s, std::vector<std::vector<Value>>{{Value::Text("Š½ƒ¶")}});
  const auto bytes = testing::FileBytes(dir / "R8.DB");
  EXPECT_EQ(bytes[0x6A], 0);
  EXPECT_EQ(bytes[0x6B], 0);
  const std::string name = std::string("BLROM800") + '\0';
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), name.begin(), name.end()), bytes.end());
  const std::string text = "\xEB\xF8\xBE\xF4";
  EXPECT_NE(std::search(bytes.begin() + 0x800, bytes.end(), text.begin(), text.end()), bytes.end());
  EXPECT_EQ(ReadAllRows(*Table::Open(dir / "R8.DB", Table::Access::ReadOnly))[0][0],
            Value::Text("Š½ƒ¶"));
}

TEST(TableRoundTripTest, CreateRefusesWhatItCannotWrite) {
  TemporaryDirectory dir;
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
  TemporaryDirectory dir;
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
std::size_t RecordOffset(const std::string& file, RecordLocator at, int recordSize) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(file[i]); };
  const std::size_t headerSize = byteAt(2) | byteAt(3) << 8;
  const std::size_t blockSize = byteAt(5) * std::size_t{1024};
  return headerSize + (at.block - 1u) * blockSize + 6 + at.slot * std::size_t(recordSize);
}

TEST(TableRoundTripTest, LookUpsByKeyAfterEveryKindOfFirstPass) {
  // The chain is walked by the first scan; a look-up must find every key whether that scan ran
  // whole, stopped early, or never ran, and whether or not the file keeps its keys in order.
  TemporaryDirectory dir;
  TableSchema s;
  s.keyFieldCount = 1;
  s.fields = {Field("ID", FieldType::Long), Field("N", FieldType::Number)};
  std::vector<std::vector<Value>> rows;
  for (int i = 1; i <= 2000; ++i) rows.push_back({Value::Integer(i * 10), Value::Float(i)});
  Table::Create(dir / "K.DB", s, rows);
  const std::string sorted = testing::FileBytes(dir / "K.DB");
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
    std::string bytes = sorted;
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
