// Values of a selection are decoded when they are read: a value that cannot be decoded fails
// only the read of that value, and says which table, field and record hold it.

#include <gtest/gtest.h>

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

// T: ID (key), N, P (BCD, 2 decimals), A; record 2's P holds a digit above 9.
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
  PatchFile(directory / "T.DB", ranges[2].first + 16, "\xAB");
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
