// The three statements of the correction tool, as it sends them, on a real CPMAIN and VERSION:
// select the rows with a negative amount, write each corrected row by its key, select afresh on
// the same connection.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "engine/core/Errors.h"
#include "engine/sql/LocalDriver.h"
#include "engine/sql/SqlTestTables.h"

namespace patchpav::sql {
namespace {

using paradox::Table;
using testing::CpMainRow;
using testing::CpMainSchema;
using testing::FieldRanges;
using testing::FileBytes;
using testing::RenderRows;
using testing::TemporaryDirectory;

Value F(double v) { return Value::Float(v); }

std::string Lines(std::initializer_list<const char*> lines, const char* separator) {
  std::string text;
  for (const char* line : lines) text += (text.empty() ? "" : separator) + std::string(line);
  return text;
}

std::string Selection(const char* separator) {
  return Lines(
      {"SELECT ", "  *", "FROM CPMAIN", "WHERE ", "  MontantSS1 < 0", "  OR MontantSS2 < 0",
       "  OR MontantSS3 < 0", "  OR MontantSS4 < 0", "  OR MontantSS5 < 0", "  OR MontantSS6 < 0",
       "  OR MontantSS7 < 0", "ORDER BY CPMain_ID"},
      separator);
}

std::string Write(const char* separator) {
  return Lines(
      {"UPDATE CPMain", "SET ", "  MontantSS1 = :montantSS1,", "  MontantSS2 = :montantSS2,",
       "  MontantSS3 = :montantSS3,", "  MontantSS4 = :montantSS4,", "  MontantSS5 = :montantSS5,",
       "  MontantSS6 = :montantSS6,", "  MontantSS7 = :montantSS7", "Where CPMain_ID = :cpmain_id"},
      separator);
}

void CreateCpMain(const std::filesystem::path& directory) {
  const Value b;  // blank
  const std::vector<std::vector<Value>> rows = {
      CpMainRow(3, {F(25), F(-18), F(0), F(0), F(0), F(0), F(0)}, "PAV"),
      CpMainRow(7, {F(10), F(20), F(0), F(0), F(0), F(0), F(0)}, "sain"),
      CpMainRow(12, {b, b, b, b, b, b, b}, "vide"),
      CpMainRow(40, {F(-18), F(30), F(-5), F(0), F(0), F(0), F(0)}, "deux"),
      CpMainRow(41, {F(1), F(2), F(3), F(4), F(5), F(6), F(-0.5)}, "dernier"),
  };
  Table::Create(directory / "CPMAIN.DB", CpMainSchema({.labelSize = 20}), rows);
}

TEST(ToolStatementsTest, SelectionWriteAndFreshSelectionOnOneConnection) {
  for (const char* separator : {"\r\n", "\n"}) {
    SCOPED_TRACE(separator[0] == '\r' ? "CR LF" : "LF");
    TemporaryDirectory directory;
    CreateCpMain(directory.Path());
    const auto file = directory.Path() / "CPMAIN.DB";
    LocalDriver driver;
    DriverParams params = driver.DefaultParams();
    params["PATH"] = directory.Path().string();
    const auto connection = driver.Connect(params);

    const auto selection = connection->Prepare(Selection(separator));
    const auto write = connection->Prepare(Write(separator));
    ASSERT_EQ(selection->ParameterCount(), 0u);
    ASSERT_EQ(write->ParameterCount(), 8u);

    // Blank amounts are not negative; rows come in key order.
    const ResultSet first = selection->Open({});
    EXPECT_EQ(first.columns.front(), "CPMain_ID");
    EXPECT_EQ(RenderRows(first.AllRows()),
              "3|25|-18|0|0|0|0|0|PAV;40|-18|30|-5|0|0|0|0|deux;41|1|2|3|4|5|6|-0.5|dernier");

    // Row 40 is written; every byte of the file outside its seven amounts stays as it was.
    const auto ranges = FieldRanges(file, 40);
    const std::string before = FileBytes(file);
    const std::vector<Value> corrected = {F(0), F(12), F(-5), F(0),
                                          F(0), F(0),  F(0),  Value::Integer(40)};
    EXPECT_EQ(write->Execute(corrected), 1);
    const std::string after = FileBytes(file);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
      if (after[i] == before[i]) continue;
      const bool inAmount = std::any_of(ranges.begin() + 1, ranges.begin() + 8, [&](const auto& r) {
        return i >= r.first && i < r.second;
      });
      EXPECT_TRUE(inAmount) << "byte " << i << " changed outside the amounts";
    }

    EXPECT_EQ(write->Execute(
                  std::vector<Value>{F(7), F(0), F(0), F(0), F(0), F(0), F(0), Value::Integer(3)}),
              1);
    EXPECT_EQ(write->Execute(std::vector<Value>{F(1), F(2), F(3), F(4), F(5), F(5.5), F(0),
                                                Value::Integer(41)}),
              1);
    // A key that is not there changes nothing.
    EXPECT_EQ(write->Execute(std::vector<Value>{F(1), F(1), F(1), F(1), F(1), F(1), F(1),
                                                Value::Integer(999)}),
              0);

    // Selecting again on the same connection sees the writes.
    EXPECT_EQ(RenderRows(selection->Open({}).AllRows()), "40|0|12|-5|0|0|0|0|deux");
    EXPECT_EQ(write->Execute(
                  std::vector<Value>{F(0), F(7), F(0), F(0), F(0), F(0), F(0), Value::Integer(40)}),
              1);
    EXPECT_TRUE(selection->Open({}).RowCount() == 0);
    EXPECT_EQ(RenderRows(connection->Prepare("SELECT * FROM CPMAIN")->Open({}).AllRows()),
              "3|7|0|0|0|0|0|0|PAV;7|10|20|0|0|0|0|0|sain;12|-|-|-|-|-|-|-|vide;"
              "40|0|7|0|0|0|0|0|deux;41|1|2|3|4|5|5.5|0|dernier");
  }
}

TEST(ToolStatementsTest, VersionQuery) {
  TemporaryDirectory directory;
  paradox::TableSchema schema;
  schema.fields = {testing::Field("MODULE", paradox::FieldType::Alpha, 20),
                   testing::Field("VERSION", paradox::FieldType::Long, 4)};
  const std::vector<std::vector<Value>> rows = {{Value::Text("CLIENT"), Value::Integer(512)},
                                                {Value::Text("DATABASE"), Value::Integer(430)}};
  Table::Create(directory.Path() / "Version.db", schema, rows);
  LocalDriver driver;
  const auto connection = driver.Connect({{"PATH", directory.Path().string()}});
  const ResultSet result =
      connection->Prepare("SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"")->Open({});
  EXPECT_EQ(result.columns, std::vector<std::string>{"VERSION"});
  EXPECT_EQ(RenderRows(result.AllRows()), "430");
}

struct ConnectCase {
  DriverParams params;
  std::string error;  // empty: connects
};

TEST(LocalDriverTest, ParametersAndConnectionFaults) {
  TemporaryDirectory directory;
  const std::string path = directory.Path().string();
  LocalDriver driver;
  EXPECT_EQ(driver.Type(), "STANDARD");
  EXPECT_EQ(driver.DefaultParams(), (DriverParams{{"PATH", ""},
                                                  {"DEFAULT DRIVER", "PARADOX"},
                                                  {"ENABLE BCD", "FALSE"},
                                                  {"LANGDRIVER", ""}}));
  const ConnectCase cases[] = {
      {{{"PATH", path}}, ""},
      {{{"PATH", path}, {"DEFAULT DRIVER", "paradox"}, {"LANGDRIVER", "intl"}}, ""},
      {{{"PATH", ""}}, "Le répertoire de la base de données n'est pas indiqué (PATH vide)"},
      {{}, "Le répertoire de la base de données n'est pas indiqué (PATH vide)"},
      {{{"PATH", path + "/absent"}},
       "Répertoire de base de données introuvable : " + path + "/absent"},
      {{{"PATH", path}, {"LANGDRIVER", "klingon"}}, "Pilote de langue inconnu : klingon"},
      {{{"PATH", path}, {"DEFAULT DRIVER", "DBASE"}}, "Pilote de tables non géré : DBASE"},
  };
  for (const ConnectCase& c : cases) {
    try {
      driver.Connect(c.params);
      EXPECT_EQ(c.error, "");
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(error.what(), c.error);
    }
  }
}

TEST(LocalDriverTest, LanguageDriversGiveTheirCodePage) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"", std::nullopt}, {"intl", 437},      {"ascii", 850},     {"INTL", 437},
      {"intl850", 850},   {"ANSIINTL", 1252}, {"DBWINWE0", 1252}, {"bllt1fr0", 1252},
      {"DB437FR0", 437},  {"BLROM800", 1051}};
  for (const auto& [name, codePage] : cases) {
    EXPECT_EQ(LanguageDriverCodePage(name), codePage) << name;
  }
  EXPECT_THROW(LanguageDriverCodePage("nordan"), EDatabaseError);  // 865: no table for it
  EXPECT_THROW(LanguageDriverCodePage("klingon"), EDatabaseError);
}

}  // namespace
}  // namespace patchpav::sql
