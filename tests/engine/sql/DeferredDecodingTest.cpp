// Values of a selection are decoded when they are read: a value that cannot be decoded fails
// only the read of that value, and says which table, field and record hold it.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string_view>

#include "engine/core/Errors.h"
#include "engine/sql/LocalDriver.h"
#include "engine/sql/SqlTestTables.h"

namespace patchpav::sql {
namespace {

using paradox::FieldType;
using paradox::Table;
using paradox::TableSchema;
using testing::Field;
using testing::FieldRanges;
using testing::PatchFile;
using testing::TemporaryDirectory;

// T: ID (key), N, P (BCD, 2 decimals), A; record 2's P holds a first digit above 9.
void CreateDamaged(const std::filesystem::path& directory) {
  TableSchema schema;
  schema.keyFieldCount = 1;
  schema.fields = {Field("ID", FieldType::Long, 4), Field("N", FieldType::Number, 8),
                   Field("P", FieldType::Bcd, 17), Field("A", FieldType::Alpha, 10)};
  schema.fields[2].decimals = 2;
  const std::vector<std::vector<Value>> rows = {
      {Value::Integer(1), Value::Float(-1), Value::Float(1.5), Value::Text("un")},
      {Value::Integer(2), Value::Float(-2), Value::Float(2.5), Value::Text("deux")},
      {Value::Integer(3), Value::Float(3), Value::Float(3.5), Value::Text("trois")}};
  Table::Create(directory / "T.DB", schema, rows);
  const auto ranges = FieldRanges(directory / "T.DB", 2);
  PatchFile(directory / "T.DB", ranges[2].first + 1, "\xAB");
}

std::unique_ptr<DriverConnection> Connect(const std::filesystem::path& directory) {
  LocalDriver driver;
  DriverParams params = driver.DefaultParams();
  params["PATH"] = directory.string();
  return driver.Connect(params);
}

TEST(DeferredDecodingTest, ADamagedValueFailsOnlyTheReadOfThatValue) {
  TemporaryDirectory directory;
  CreateDamaged(directory.Path());
  const auto connection = Connect(directory.Path());
  const std::string damaged = "Table T : champ P : valeur BCD invalide (enregistrement n° 2)";
  struct Case {
    const char* sql;
    std::size_t row;
    std::size_t column;
    const char* expected;  // the value as text, or the error
  } cases[] = {
      {"SELECT * FROM T WHERE N < 0 ORDER BY ID", 1, 0, "2"},
      {"SELECT * FROM T WHERE N < 0 ORDER BY ID", 1, 3, "deux"},
      {"SELECT * FROM T WHERE N < 0 ORDER BY ID", 0, 2, "1.5"},
      {"SELECT * FROM T WHERE N < 0 ORDER BY ID", 1, 2, damaged.c_str()},
      {"SELECT P, A FROM T ORDER BY A", 0, 0, damaged.c_str()},  // "deux" sorts first
      {"SELECT P, A FROM T ORDER BY A", 2, 1, "un"},
      {"SELECT * FROM T WHERE ID = 3", 0, 2, "3.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sql) + " row " + std::to_string(c.row));
    const ResultSet result = connection->Prepare(c.sql)->Open({});
    try {
      EXPECT_EQ(result.At(c.row, c.column).AsText(), c.expected);
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.what(), std::string(c.expected));
    }
  }
  // A statement that orders by the damaged field reads it: the statement fails.
  try {
    connection->Prepare("SELECT ID FROM T ORDER BY P")->Open({});
    ADD_FAILURE() << "the damaged value was not read";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.what(), damaged);
  }
}

// A BCD value as the desktop product writes it: the first byte, then the nibbles as they read
// once a negative value's complement is undone ("123a5" is 1, 2, 3, 10, 5), zeros after them.
std::string Bcd(unsigned head, std::string_view nibbles) {
  std::string bytes(17, '\0');
  bytes[0] = static_cast<char>(head);
  const bool negative = (head & 0x80) == 0;
  for (std::size_t i = 0; i < 32; ++i) {
    const char c = i < nibbles.size() ? nibbles[i] : '0';
    unsigned nibble = static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
    if (negative) nibble ^= 0x0F;
    bytes[1 + i / 2] = static_cast<char>(bytes[1 + i / 2] | (i % 2 ? nibble : nibble << 4));
  }
  return bytes;
}

// The product leaves what its buffer held after a value's significant digits: the digits up to
// the first nibble above 9 are the value, and only a value without one such digit, or a first
// byte without its marker bit, cannot be read.
TEST(DeferredDecodingTest, BcdReadsAsTheDesktopProductWritesIt) {
  constexpr bool kDamaged = true;
  struct Case {
    int decimals;
    std::string bytes;
    double value;  // compared bit for bit: a stray digit far down the value would show
    bool damaged = false;
  } cases[] = {
      {32, Bcd(0xE0, "1230000000000000000a3f9c0e5b7d2a"), 0.123},
      {32, Bcd(0x60, "1230000000000000000a3f9c0e5b7d2a"), -0.123},
      {32, Bcd(0xE0, "99990000000000000000ef0c41d2b3e7"), 0.9999},
      {32, Bcd(0x5F, "99990000000000000000ef0c41d2b3e7"), -0.9999},  // decimals complemented
      {32, Bcd(0xE0, "5a9"), 0.5},  // a digit after the first nibble above 9 is not read
      {32, Bcd(0xE0, "00000000000000000000000000000001"), 1e-32},
      {2, Bcd(0xC2, "00000000000000000000000000000250"), 2.5},
      {2, Bcd(0x42, "00000000000000000000000000000250"), -2.5},
      {2, Bcd(0xC2, "000000000000000000000000000002f7"), 2},
      {2, Bcd(0xC2, "0000000000000000000000000000025b"), 2.5},
      {32, Bcd(0xE0, "a1230000000000000000000000000000"), 0, kDamaged},
      {32, Bcd(0x60, "f1230000000000000000000000000000"), 0, kDamaged},
      {2, Bcd(0xC2, "c"), 0, kDamaged},
      {32, Bcd(0xA0, "1230000000000000000"), 0, kDamaged},  // no marker bit
      {32, Bcd(0x20, "1230000000000000000"), 0, kDamaged},
      {32, Bcd(0x00, "1230000000000000000"), 0, kDamaged},
  };
  for (const int decimals : {2, 32}) {
    // One record per case of this width, each value put in place of the record's blank.
    TemporaryDirectory directory;
    TableSchema schema;
    schema.keyFieldCount = 1;
    schema.fields = {Field("ID", FieldType::Long, 4), Field("P", FieldType::Bcd, 17, decimals)};
    std::vector<std::vector<Value>> rows;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      if (cases[i].decimals == decimals) {
        rows.push_back({Value::Integer(static_cast<std::int64_t>(i)), Value()});
      }
    }
    const auto file = directory.Path() / "B.DB";
    Table::Create(file, schema, rows);
    for (const auto& row : rows) {
      const std::int64_t id = row[0].AsInteger();
      PatchFile(file, FieldRanges(file, id)[1].first, cases[id].bytes);
    }
    const auto connection = Connect(directory.Path());
    const ResultSet result = connection->Prepare("SELECT P FROM B ORDER BY ID")->Open({});
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const Case& c = cases[rows[r][0].AsInteger()];
      SCOPED_TRACE("case " + std::to_string(rows[r][0].AsInteger()));
      try {
        const Value value = result.At(r, 0);
        EXPECT_FALSE(c.damaged) << value.AsText();
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value.AsFloat()),
                  std::bit_cast<std::uint64_t>(c.value))
            << value.AsText();
      } catch (const EDatabaseError& e) {
        EXPECT_TRUE(c.damaged) << e.what();
        EXPECT_EQ(e.what(), "Table B : champ P : valeur BCD invalide (enregistrement n° " +
                                std::to_string(r + 1) + ")");
      }
    }
  }
}

// The values are decoded from the bytes the selection matched, through the table as the
// connection holds it now: an UPDATE between the selection and the reads reopens it for writing.
TEST(DeferredDecodingTest, ReadsAfterAnUpdateGiveTheValuesSelected) {
  TemporaryDirectory directory;
  CreateDamaged(directory.Path());
  const auto connection = Connect(directory.Path());
  const ResultSet result = connection->Prepare("SELECT ID, N, A FROM T ORDER BY ID")->Open({});
  const std::vector<Value> zero = {Value::Float(0), Value::Integer(1)};
  EXPECT_EQ(connection->Prepare("UPDATE T SET N = :n WHERE ID = :id")->Execute(zero), 1);
  EXPECT_EQ(testing::RenderRows(result.AllRows()), "1|-1|un;2|-2|deux;3|3|trois");
  EXPECT_EQ(
      testing::RenderRows(connection->Prepare("SELECT N FROM T ORDER BY ID")->Open({}).AllRows()),
      "0;-2;3");
}

}  // namespace
}  // namespace patchpav::sql
