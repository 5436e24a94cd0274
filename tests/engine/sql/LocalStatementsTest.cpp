// Statements of the local dialect run on real Paradox tables, read as data: the statement, its
// parameters, and the rows (or the number of rows changed and the table after) or the error.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "engine/core/Errors.h"
#include "engine/sql/LocalDriver.h"
#include "engine/sql/LocalUpdate.h"
#include "engine/sql/SqlTestTables.h"

namespace patchpav::sql {
namespace {

using paradox::FieldType;
using paradox::Table;
using paradox::TableSchema;
using testing::Field;
using testing::FieldRanges;
using testing::FileBytes;
using testing::PatchFile;
using testing::RenderRows;
using testing::TemporaryDirectory;

const Value kNull;  // a blank field or a null parameter
Value I(std::int64_t v) { return Value::Integer(v); }
Value F(double v) { return Value::Float(v); }
Value S(std::string v) { return Value::Text(std::move(v)); }

// T: a keyed table with blanks, ties and texts that differ only in case.
void CreateT(const std::filesystem::path& directory) {
  TableSchema schema;
  schema.fields = {Field("ID", FieldType::Long, 4), Field("A", FieldType::Number, 8),
                   Field("B", FieldType::Number, 8), Field("S", FieldType::Alpha, 10),
                   Field("N", FieldType::Short, 2)};
  schema.keyFieldCount = 1;
  const std::vector<std::vector<Value>> rows = {
      {I(1), F(5), F(1), S("abc"), I(2)},  {I(2), F(-3), kNull, S("Abc"), I(1)},
      {I(3), kNull, F(2), kNull, I(2)},    {I(4), F(0), F(-1), S("abd"), kNull},
      {I(5), F(-3), F(2), S("abc"), I(1)}, {I(6), F(2.5), F(1), S("10"), I(3)}};
  Table::Create(directory / "T.DB", schema, rows);
}

// VERSION with the version as a number, VERSTXT with it as a text.
void CreateVersions(const std::filesystem::path& directory) {
  TableSchema schema;
  schema.fields = {Field("MODULE", FieldType::Alpha, 20), Field("VERSION", FieldType::Long, 4)};
  const std::vector<std::vector<Value>> rows = {{S("CLIENT"), I(512)}, {S("DATABASE"), I(430)}};
  Table::Create(directory / "VERSION.DB", schema, rows);
  schema.fields[1] = Field("VERSION", FieldType::Alpha, 10);
  const std::vector<std::vector<Value>> texts = {{S("CLIENT"), S("512")},
                                                 {S("DATABASE"), S("430")}};
  Table::Create(directory / "VERSTXT.DB", schema, texts);
}

std::unique_ptr<DriverConnection> Connect(const std::filesystem::path& directory) {
  LocalDriver driver;
  DriverParams params = driver.DefaultParams();
  params["PATH"] = directory.string();
  return driver.Connect(params);
}

std::string SelectAll(DriverConnection& connection, const std::string& table) {
  return RenderRows(connection.Prepare("SELECT * FROM " + table)->Open({}).AllRows());
}

struct SelectCase {
  const char* sql;
  std::vector<Value> parameters;
  const char* expected;  // rendered rows, or the error's text after "!"
};

const char kAllOfT[] = "1|5|1|abc|2;2|-3|-|Abc|1;3|-|2|-|2;4|0|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3";

const std::vector<SelectCase> kSelectCases = {
    {"SELECT * FROM T", {}, kAllOfT},
    // A blank compares as unknown, and NOT of unknown stays unknown.
    {"SELECT ID FROM T WHERE A < 0", {}, "2;5"},
    {"SELECT ID FROM T WHERE NOT A < 0", {}, "1;4;6"},
    {"SELECT ID FROM T WHERE A < 0 OR A >= 0", {}, "1;2;4;5;6"},
    {"SELECT ID FROM T WHERE NOT (A < 0 AND B > 0)", {}, "1;4;6"},
    {"SELECT ID FROM T WHERE A IS NULL OR S IS NULL", {}, "3"},
    {"SELECT ID FROM T WHERE NOT (A IS NULL) AND N IS NOT NULL", {}, "1;2;5;6"},
    {"SELECT ID FROM T WHERE A > B", {}, "1;4;6"},
    // Number columns against numbers, alone or all joined by OR or by AND, with blanks.
    {"SELECT ID FROM T WHERE A <= 0", {}, "2;4;5"},
    {"SELECT ID FROM T WHERE A >= 0", {}, "1;4;6"},
    {"SELECT ID FROM T WHERE A <> 0", {}, "1;2;5;6"},
    {"SELECT ID FROM T WHERE A = 0 OR B = 0", {}, "4"},
    {"SELECT ID FROM T WHERE A < 0 OR B < 0", {}, "2;4;5"},
    {"SELECT ID FROM T WHERE A > -3 AND B >= 1 AND A <= 5", {}, "1;6"},
    {"SELECT ID FROM T WHERE A > -1e300 AND B < 1e300", {}, "1;4;5;6"},
    {"SELECT ID FROM T WHERE A <= -3 OR B > 1.5", {}, "2;3;5"},
    {"SELECT ID FROM T WHERE 0 > A", {}, "2;5"},
    {"SELECT ID FROM T WHERE A <> -3 AND A <= 2.5", {}, "4;6"},
    // Numbers compare across integers and floats; a text that is a number compares as one.
    {"SELECT ID FROM T WHERE N = 2.0", {}, "1;3"},
    {"SELECT ID FROM T WHERE N < 1.5", {}, "2;5"},
    {"SELECT ID FROM T WHERE A = 5", {}, "1"},
    {"SELECT ID FROM T WHERE A = '2.5'", {}, "6"},
    {"SELECT ID FROM T WHERE ID >= \"5\"", {}, "5;6"},
    {"SELECT MODULE FROM VERSTXT WHERE VERSION > 430", {}, "CLIENT"},
    {"SELECT ID FROM T WHERE A = 'abc'",
     {},
     "!Comparaison impossible entre la colonne numérique A et le texte 'abc'"},
    {"SELECT ID FROM T WHERE S = 10",
     {},
     "!Comparaison impossible entre le texte 'abc' et le nombre 10"},
    // Texts compare byte by byte, so case matters in values (not in names).
    {"SELECT ID FROM T WHERE S = 'abc'", {}, "1;5"},
    {"SELECT ID FROM T WHERE S > 'abc'", {}, "4"},
    {"SELECT ID FROM T WHERE A < 0 AND N = 1 OR ID = 6", {}, "2;5;6"},
    {"SELECT ID FROM T WHERE A < 0 AND (N = 2 OR ID = 5)", {}, "5"},
    // Ordering: nulls first ascending and last descending, ties keep the table's order.
    {"SELECT ID, S FROM T ORDER BY S", {}, "3|-;6|10;2|Abc;1|abc;5|abc;4|abd"},
    {"SELECT ID FROM T ORDER BY S DESC, ID DESC", {}, "4;5;1;2;6;3"},
    {"SELECT ID FROM T ORDER BY A, B DESC", {}, "3;5;2;4;6;1"},
    {"SELECT ID FROM T ORDER BY N", {}, "4;2;5;1;3;6"},
    {"SELECT S FROM T WHERE ID < 3 ORDER BY ID DESC", {}, "Abc;abc"},
    // Parameters by position, null ones included.
    {"SELECT ID FROM T WHERE A < :x AND N = :n", {F(0), I(1)}, "2;5"},
    {"SELECT ID FROM T WHERE ID = :id OR S = :s", {S("6"), S("abd")}, "4;6"},
    {"SELECT ID FROM T WHERE A = :x OR :x IS NULL", {kNull, kNull}, "1;2;3;4;5;6"},
    {"SELECT ID FROM T WHERE A = :x", {kNull}, ""},
    {"SELECT ID FROM T WHERE A < :x",
     {},
     "!Nombre de paramètres incorrect : 1 attendu(s), 0 fourni(s)"},
    {"SELECT ID FROM T WHERE A < :x",
     {I(1), I(2)},
     "!Nombre de paramètres incorrect : 1 attendu(s), 2 fourni(s)"},
    // Names without regard to case; table files by name, with or without suffix or quotes.
    {"select id from t where a < 0 order by id desc", {}, "5;2"},
    {"SELECT ID FROM \"t.db\" WHERE ID = 1", {}, "1"},
    {"SELECT ID FROM t.DB WHERE ID = 1", {}, "1"},
    {"SELECT ID FROM 'T' WHERE ID = 1", {}, "1"},
    {"SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"", {}, "430"},
    {"SELECT VERSION FROM VERSION WHERE MODULE = 'NONE'", {}, ""},
    // Unknown names are named.
    {"SELECT * FROM CPMAN", {}, "!Table inconnue : CPMAN"},
    {"SELECT * FROM \"../T\"", {}, "!Table inconnue : ../T"},
    {"SELECT * FROM T.PX", {}, "!Table inconnue : T.PX"},
    {"SELECT MontantSS9 FROM T", {}, "!Colonne inconnue : MontantSS9"},
    {"SELECT * FROM T WHERE ID = 1 OR (X < 0)", {}, "!Colonne inconnue : X"},
    {"SELECT * FROM T ORDER BY ID, Z", {}, "!Colonne inconnue : Z"},
    {"SELECT * FROM T WHERE", {}, "!Erreur de syntaxe : fin de requête inattendue"},
};

TEST(LocalSelectTest, StatementsGiveTheirRowsOrTheirError) {
  TemporaryDirectory directory;
  CreateT(directory.Path());
  CreateVersions(directory.Path());
  const auto connection = Connect(directory.Path());
  for (const SelectCase& c : kSelectCases) {
    SCOPED_TRACE(c.sql);
    const std::string expected = c.expected;
    try {
      const std::string rows = RenderRows(connection->Prepare(c.sql)->Open(c.parameters).AllRows());
      EXPECT_EQ(rows, expected);
    } catch (const EDatabaseError& error) {
      EXPECT_EQ("!" + std::string(error.what()), expected);
    }
  }
}

// Values our encoder never writes but another program might have: a negative zero and a NaN.
// Comparisons treat them as numbers do, whichever way the scan evaluates them.
TEST(LocalSelectTest, StoredNegativeZeroAndNanCompareAsNumbersDo) {
  TemporaryDirectory directory;
  CreateT(directory.Path());
  const auto file = directory.Path() / "T.DB";
  const std::size_t aOfRecord4 = FieldRanges(file, 4)[1].first;                     // A = 0
  const std::size_t aOfRecord1 = FieldRanges(file, 1)[1].first;                     // A = 5
  PatchFile(file, aOfRecord4, std::string("\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8));  // -0.0
  PatchFile(file, aOfRecord1, std::string("\xFF\xF8\x00\x00\x00\x00\x00\x00", 8));  // NaN
  const auto connection = Connect(directory.Path());
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT ID FROM T WHERE A < 0", "2;5"},
      {"SELECT ID FROM T WHERE A < 0 OR B < -5", "2;5"},
      {"SELECT ID FROM T WHERE A <= 0", "2;4;5"},
      {"SELECT ID FROM T WHERE A >= 0", "4;6"},
      {"SELECT ID FROM T WHERE A >= 0 AND B < 100", "4;6"},
      {"SELECT ID FROM T WHERE A = 0", "4"},
      {"SELECT ID FROM T WHERE A > 0", "6"},
      {"SELECT ID FROM T WHERE A > -1 OR A < -100", "4;6"},
      {"SELECT ID FROM T WHERE A <> 0", "1;2;5;6"},
      {"SELECT ID FROM T WHERE NOT A < 0 AND NOT A > 0", "1;4"},
  };
  for (const auto& [sql, expected] : cases) {
    EXPECT_EQ(RenderRows(connection->Prepare(sql)->Open({}).AllRows()), expected) << sql;
  }
}

TEST(LocalSelectTest, ResultNamesTheColumnsAsTheTableDoes) {
  TemporaryDirectory directory;
  CreateT(directory.Path());
  const auto connection = Connect(directory.Path());
  const ResultSet result = connection->Prepare("select s, id from t order by n")->Open({});
  EXPECT_EQ(result.columns, (std::vector<std::string>{"S", "ID"}));
  EXPECT_EQ(connection->Prepare("SELECT * FROM T")->Open({}).columns,
            (std::vector<std::string>{"ID", "A", "B", "S", "N"}));
}

struct UpdateCase {
  const char* sql;
  std::vector<Value> parameters;
  std::int64_t changed;  // -1: an error is expected and the file must not change
  const char* expected;  // the whole table after, or the error's text
};

const std::vector<UpdateCase> kUpdateCases = {
    {"UPDATE T SET S = 'neg' WHERE A < 0",
     {},
     2,
     "1|5|1|abc|2;2|-3|-|neg|1;3|-|2|-|2;4|0|-1|abd|-;5|-3|2|neg|1;6|2.5|1|10|3"},
    {"UPDATE T SET A = :a, B = :b WHERE ID = :id",
     {F(1.25), kNull, I(3)},
     1,
     "1|5|1|abc|2;2|-3|-|Abc|1;3|1.25|-|-|2;4|0|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3"},
    {"UPDATE T SET A = :a WHERE ID = :id", {F(1), I(99)}, 0, kAllOfT},
    {"UPDATE T SET A = :a WHERE ID = :id", {F(1), F(2.5)}, 0, kAllOfT},
    {"UPDATE T SET A = :a WHERE ID = :id", {F(1), kNull}, 0, kAllOfT},
    {"UPDATE T SET A = :a WHERE :id = id",
     {F(1), F(2.0)},
     1,
     "1|5|1|abc|2;2|1|-|Abc|1;3|-|2|-|2;4|0|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3"},
    {"UPDATE T SET A = :a WHERE ID = :id",
     {I(7), S(" 4 ")},
     1,
     "1|5|1|abc|2;2|-3|-|Abc|1;3|-|2|-|2;4|7|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3"},
    {"UPDATE T SET A = 1 WHERE ID = :id",
     {S("x")},
     -1,
     "Comparaison impossible entre la colonne numérique ID et le texte 'x'"},
    // Values take the column's type, or are refused before anything is written.
    {"UPDATE T SET N = 4.0, A = '12', S = 42 WHERE ID = 1",
     {},
     1,
     "1|12|1|42|4;2|-3|-|Abc|1;3|-|2|-|2;4|0|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3"},
    {"UPDATE T SET N = 1.5 WHERE ID = 1",
     {},
     -1,
     "Valeur incorrecte pour la colonne N : 1.5 n'est pas un nombre entier"},
    {"UPDATE T SET N = :n WHERE ID = 1",
     {F(2.25)},
     -1,
     "Valeur incorrecte pour la colonne N : 2.25 n'est pas un nombre entier"},
    {"UPDATE T SET A = 'x12' WHERE ID = 1",
     {},
     -1,
     "Valeur incorrecte pour la colonne A : 'x12' n'est pas un nombre"},
    {"UPDATE T SET S = 'a', s = 'b' WHERE ID = 1", {}, -1, "Colonne affectée deux fois : s"},
    {"UPDATE T SET A = :a WHERE ID = :id",
     {F(1)},
     -1,
     "Nombre de paramètres incorrect : 2 attendu(s), 1 fourni(s)"},
    {"UPDATE T SET Q = 1", {}, -1, "Colonne inconnue : Q"},
    {"UPDATE CPMAN SET A = 1", {}, -1, "Table inconnue : CPMAN"},
    // Several rows, no WHERE, a WHERE that is more than the key, a blank written.
    {"UPDATE T SET B = NULL WHERE B > 0",
     {},
     4,
     "1|5|-|abc|2;2|-3|-|Abc|1;3|-|-|-|2;4|0|-1|abd|-;5|-3|-|abc|1;6|2.5|-|10|3"},
    {"update t set n = 0",
     {},
     6,
     "1|5|1|abc|0;2|-3|-|Abc|0;3|-|2|-|0;4|0|-1|abd|0;5|-3|2|abc|0;6|2.5|1|10|0"},
    {"UPDATE T SET S = 'z' WHERE ID = 1 AND A = 4", {}, 0, kAllOfT},
    {"UPDATE T SET S = 'z' WHERE ID = 1 AND A = 5",
     {},
     1,
     "1|5|1|z|2;2|-3|-|Abc|1;3|-|2|-|2;4|0|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3"},
    {"UPDATE T SET S = 'z' WHERE ID = 2 OR ID = 3",
     {},
     2,
     "1|5|1|abc|2;2|-3|-|z|1;3|-|2|z|2;4|0|-1|abd|-;5|-3|2|abc|1;6|2.5|1|10|3"},
    // An assignment to a column of the WHERE changes each matching record once.
    {"UPDATE T SET A = 1 WHERE A < 0",
     {},
     2,
     "1|5|1|abc|2;2|1|-|Abc|1;3|-|2|-|2;4|0|-1|abd|-;5|1|2|abc|1;6|2.5|1|10|3"},
};

TEST(LocalUpdateTest, StatementsChangeTheirRowsOrChangeNothing) {
  for (const UpdateCase& c : kUpdateCases) {
    SCOPED_TRACE(c.sql);
    TemporaryDirectory directory;
    CreateT(directory.Path());
    const std::string before = FileBytes(directory.Path() / "T.DB");
    auto connection = Connect(directory.Path());
    if (c.changed < 0) {
      try {
        connection->Prepare(c.sql)->Execute(c.parameters);
        ADD_FAILURE() << "no error, expected " << c.expected;
      } catch (const EDatabaseError& error) {
        EXPECT_EQ(std::string(error.what()), c.expected);
      }
      EXPECT_EQ(FileBytes(directory.Path() / "T.DB"), before);
    } else {
      EXPECT_EQ(connection->Prepare(c.sql)->Execute(c.parameters), c.changed);
      EXPECT_EQ(SelectAll(*connection, "T"), c.expected);
      // Read afresh from the file, not only from this connection's open table (which holds
      // the file for writing until the connection goes).
      connection.reset();
      EXPECT_EQ(SelectAll(*Connect(directory.Path()), "T"), c.expected);
    }
  }
}

TEST(LocalUpdateTest, KeyAndStatementKindFaultsAreRefused) {
  TemporaryDirectory directory;
  CreateT(directory.Path());
  const std::string before = FileBytes(directory.Path() / "T.DB");
  const auto connection = Connect(directory.Path());
  // The table refuses to change its key; the refusal comes through unchanged.
  EXPECT_THROW(connection->Prepare("UPDATE T SET ID = 7 WHERE ID = 1")->Execute({}),
               EDatabaseError);
  EXPECT_THROW(connection->Prepare("UPDATE T SET ID = 7")->Execute({}), EDatabaseError);
  EXPECT_THROW(connection->Prepare("UPDATE T SET A = 1")->Open({}), EDatabaseError);
  EXPECT_THROW(connection->Prepare("SELECT * FROM T")->Execute({}), EDatabaseError);
  EXPECT_EQ(FileBytes(directory.Path() / "T.DB"), before);
}

TEST(LocalUpdateTest, OnlyKeyEqualitiesGoThroughTheKeyMap) {
  TemporaryDirectory directory;
  CreateT(directory.Path());
  const auto connection = Connect(directory.Path());
  const auto usesKey = [&](const char* sql) {
    const auto statement = connection->Prepare(sql);
    return dynamic_cast<const LocalUpdate&>(*statement).UsesKeyLookup();
  };
  EXPECT_TRUE(usesKey("UPDATE T SET A = 1 WHERE ID = :id"));
  EXPECT_TRUE(usesKey("UPDATE T SET A = 1 WHERE 3 = id"));
  EXPECT_FALSE(usesKey("UPDATE T SET A = 1 WHERE ID = 1 AND A = 5"));
  EXPECT_FALSE(usesKey("UPDATE T SET A = 1 WHERE ID < 3"));
  EXPECT_FALSE(usesKey("UPDATE T SET A = 1 WHERE NOT ID = 3"));
  EXPECT_FALSE(usesKey("UPDATE T SET A = 1 WHERE ID = ID"));
  EXPECT_FALSE(usesKey("UPDATE T SET A = 1"));
}

}  // namespace
}  // namespace patchpav::sql
