// Each kind of damage is refused, with an error naming the table, by whatever first uses the
// table: opening (for a damaged header), or the first scan, look-up or update (for a damaged
// chain). The file is left byte for byte as it was.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using testing::Field;
using testing::FileBytes;
using testing::TemporaryDirectory;

constexpr std::size_t kHeader = 0x800;
constexpr std::size_t kBlock = 2048;

void Put16(std::string& b, std::size_t at, unsigned v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

struct Damage {
  const char* what;
  std::function<void(std::string&)> apply;
};

void ReadThrough(const Table& table) {
  table.ForEachBlock([](const std::byte*, std::size_t, RecordLocator) {});
}

// The ways a table is first used; each must refuse a damaged table before it writes anything.
struct FirstUse {
  const char* what;
  Table::Access access;
  std::function<void(Table&)> use;
};

const FirstUse kFirstUses[] = {
    {"scan", Table::Access::ReadOnly,
     [](Table& t) {
       ReadThrough(t);
       ReadThrough(t);  // the walk that stopped on the damage is not taken as done
     }},
    {"look-up by key", Table::Access::ReadOnly,
     [](Table& t) { t.FindByKey(std::vector<Value>{Value::Integer(300)}); }},
    {"update before any scan", Table::Access::ReadWrite,
     [](Table& t) {
       const Table::FieldChange change{1, Value::Float(5)};
       t.Update(RecordLocator{1, 0}, std::span(&change, 1));
     }},
    {"update after a failed scan", Table::Access::ReadWrite,
     [](Table& t) {
       try {
         ReadThrough(t);
       } catch (const EDatabaseError&) {
       }
       const Table::FieldChange change{1, Value::Float(5)};
       t.Update(RecordLocator{1, 0}, std::span(&change, 1));
     }},
    {"check", Table::Access::ReadOnly, [](Table& t) { t.CheckChain(); }},
};

TEST(DamagedTableTest, EachDamageIsRefusedNamingTheTableAndNothingIsWritten) {
  TemporaryDirectory dir;
  TableSchema s;
  s.keyFieldCount = 1;
  s.fields = {Field("ID", FieldType::Long), Field("Montant", FieldType::Number),
              Field("Nom", FieldType::Alpha, 8)};
  std::vector<std::vector<Value>> rows;
  for (int i = 1; i <= 300; ++i)
    rows.push_back({Value::Integer(i), Value::Float(-i), Value::Text("x")});
  Table::Create(dir / "ABIME.DB", s, rows);
  const auto good = FileBytes(dir / "ABIME.DB");
  for (const FirstUse& use : kFirstUses) {
    ASSERT_NO_THROW(use.use(*Table::Open(dir / "ABIME.DB", use.access))) << use.what;
  }
  testing::WriteFileBytes(dir / "ABIME.DB", good);
  const std::size_t namesAt = 0x78 + 6 * 3 + 4 + 261;

  const Damage damages[] = {
      {"empty file", [](auto& b) { b.clear(); }},
      {"shorter than the fixed header", [](auto& b) { b.resize(0x40); }},
      {"last block cut", [](auto& b) { b.resize(b.size() - 100); }},
      {"header size past the end", [](auto& b) { Put16(b, 0x02, 0xF000); }},
      {"header size too small", [](auto& b) { Put16(b, 0x02, 0x10); }},
      {"header cuts the field names", [](auto& b) { Put16(b, 0x02, namesAt + 2); }},
      {"block size zero", [](auto& b) { b[0x05] = 0; }},
      {"block size too large", [](auto& b) { b[0x05] = 64; }},
      {"record size zero", [](auto& b) { Put16(b, 0x00, 0); }},
      {"fields do not add up", [](auto& b) { Put16(b, 0x00, 21); }},
      {"unknown field type", [](auto& b) { b[0x78 + 2] = 0x07; }},
      {"bad size for the type", [](auto& b) { b[0x78 + 1] = 3; }},
      {"no fields", [](auto& b) { Put16(b, 0x21, 0); }},
      {"more key fields than fields", [](auto& b) { Put16(b, 0x23, 4); }},
      {"keyed type without key", [](auto& b) { Put16(b, 0x23, 0); }},
      {"primary index file type", [](auto& b) { b[0x04] = 1; }},
      {"unknown version", [](auto& b) { b[0x39] = 0x20; }},
      {"encrypted", [](auto& b) { b[0x5C] = 0x11; }},
      {"encrypted, old style", [](auto& b) { b[0x25] = 0x12; }},
      {"first block outside", [](auto& b) { Put16(b, 0x0E, 200); }},
      {"no first block", [](auto& b) { Put16(b, 0x0E, 0); }},
      {"more blocks than the file", [](auto& b) { Put16(b, 0x0C, 200); }},
      {"chain loops", [](auto& b) { Put16(b, kHeader + kBlock, 1); }},
      {"chain leaves the file", [](auto& b) { Put16(b, kHeader, 999); }},
      {"record count too high", [](auto& b) { Put16(b, 0x06, 301); }},
      {"record count too low", [](auto& b) { Put16(b, 0x06, 1); }},
      {"addDataSize beyond the block", [](auto& b) { Put16(b, kHeader + 4, 0x7FE0); }},
      {"addDataSize not whole records", [](auto& b) { Put16(b, kHeader + 4, 21); }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    std::string bytes = good;
    d.apply(bytes);
    testing::WriteFileBytes(dir / "ABIME.DB", bytes);
    for (const FirstUse& use : kFirstUses) {
      SCOPED_TRACE(use.what);
      try {
        use.use(*Table::Open(dir / "ABIME.DB", use.access));
        ADD_FAILURE() << "used";
      } catch (const EDatabaseError& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("ABIME"));
      }
    }
    EXPECT_EQ(FileBytes(dir / "ABIME.DB"), bytes);
  }
}

TEST(DamagedTableTest, AMissingTableOrAFailedReadIsAnErrorNamingIt) {
  TemporaryDirectory dir;
  try {
    Table::Open(dir / "ABSENTE.DB", Table::Access::ReadOnly);
    ADD_FAILURE() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("ABSENTE"));
  }
  TableSchema s;
  s.fields = {Field("N", FieldType::Number)};
  std::vector<std::vector<Value>> rows(1000, std::vector<Value>{Value::Float(1)});
  Table::Create(dir / "LU.DB", s, rows);
  for (int nth = 1; nth <= 3; ++nth) {
    testing::FaultyFiles files(testing::FaultyFiles::Op::Read);
    files.FailNth(nth);
    EXPECT_THROW(ReadThrough(*Table::Open(dir / "LU.DB", Table::Access::ReadOnly, 1252, files)),
                 EDatabaseError);
  }
}

}  // namespace
}  // namespace patchpav::paradox
