// The parser read as data: each statement with the parse tree it gives, written back as a compact
// text, or the error it raises.

#include "engine/sql/Parser.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/core/Errors.h"

namespace patchpav::sql {
namespace {

std::string Render(const Operand& operand, const std::vector<std::string>& names) {
  if (const auto* column = std::get_if<ColumnRef>(&operand)) return column->name;
  if (const auto* parameter = std::get_if<ParameterRef>(&operand)) {
    return std::string(":")
        .append(std::to_string(parameter->index))
        .append("=")
        .append(names.at(parameter->index));
  }
  const Value& v = std::get<Literal>(operand).value;
  switch (v.GetKind()) {
    case Value::Kind::Null:
      return "NULL";
    case Value::Kind::Integer:
      return std::string("i").append(v.AsText());
    case Value::Kind::Float:
      return std::string("f").append(v.AsText());
    case Value::Kind::Text:
      return std::string("'").append(v.AsText()).append("'");
  }
  return "?";
}

std::string Render(const Condition& c, const std::vector<std::string>& names) {
  static const char* const kOps[] = {"=", "<>", "<", "<=", ">", ">="};
  using K = Condition::Kind;
  std::string text;
  switch (c.kind) {
    case K::Compare:
      text += "(";
      text += Render(c.left, names);
      text += " ";
      text += kOps[static_cast<int>(c.op)];
      text += " ";
      text += Render(c.right, names);
      text += ")";
      break;
    case K::IsNull:
    case K::IsNotNull:
      text += "(";
      text += Render(c.left, names);
      text += c.kind == K::IsNull ? " IS NULL)" : " IS NOT NULL)";
      break;
    case K::Not:
      text += "NOT";
      text += Render(c.children.at(0), names);
      break;
    case K::And:
    case K::Or:
      text += c.kind == K::And ? "AND[" : "OR[";
      for (std::size_t i = 0; i < c.children.size(); ++i) {
        if (i) text += " ";
        text += Render(c.children[i], names);
      }
      text += "]";
      break;
  }
  return text;
}

std::string Render(const Statement& statement) {
  const auto& names = statement.parameterNames;
  std::string text;
  if (const auto* select = std::get_if<SelectStatement>(&statement.body)) {
    text = "SELECT";
    if (select->allColumns) text += " *";
    for (const ColumnRef& column : select->columns) text += " " + column.name;
    text += " FROM " + select->table;
    if (select->where) text += " WHERE " + Render(*select->where, names);
    if (!select->orderBy.empty()) text += " ORDER";
    for (const OrderKey& key : select->orderBy) {
      text += " " + key.column.name + (key.descending ? " DESC" : " ASC");
    }
  } else {
    const auto& update = std::get<UpdateStatement>(statement.body);
    text = "UPDATE " + update.table + " SET";
    for (const Assignment& a : update.assignments) {
      text += " " + a.column.name + "=" + Render(a.value, names);
    }
    if (update.where) text += " WHERE " + Render(*update.where, names);
  }
  return text;
}

struct ParseCase {
  const char* sql;
  const char* expected;  // the rendered tree, or the error's text when it starts with "!"
};

const char kSelection[] =
    "SELECT \r\n  *\r\nFROM CPMAIN\r\nWHERE \r\n  MontantSS1 < 0\r\n  OR MontantSS2 < 0\r\n"
    "  OR MontantSS3 < 0\r\n  OR MontantSS4 < 0\r\n  OR MontantSS5 < 0\r\n  OR MontantSS6 < 0\r\n"
    "  OR MontantSS7 < 0\r\nORDER BY CPMain_ID";
const char kWrite[] =
    "UPDATE CPMain\nSET \n  MontantSS1 = :montantSS1,\n  MontantSS2 = :montantSS2,\n"
    "  MontantSS3 = :montantSS3,\n  MontantSS4 = :montantSS4,\n  MontantSS5 = :montantSS5,\n"
    "  MontantSS6 = :montantSS6,\n  MontantSS7 = :montantSS7\nWhere CPMain_ID = :cpmain_id";

const ParseCase kCases[] = {
    // The tool's statements.
    {kSelection,
     "SELECT * FROM CPMAIN WHERE OR[(MontantSS1 < i0) (MontantSS2 < i0) (MontantSS3 < i0) "
     "(MontantSS4 < i0) (MontantSS5 < i0) (MontantSS6 < i0) (MontantSS7 < i0)] ORDER CPMain_ID "
     "ASC"},
    {kWrite,
     "UPDATE CPMain SET MontantSS1=:0=montantSS1 MontantSS2=:1=montantSS2 "
     "MontantSS3=:2=montantSS3 MontantSS4=:3=montantSS4 MontantSS5=:4=montantSS5 "
     "MontantSS6=:5=montantSS6 MontantSS7=:6=montantSS7 WHERE (CPMain_ID = :7=cpmain_id)"},
    {"SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"",
     "SELECT VERSION FROM VERSION WHERE (MODULE = 'DATABASE')"},
    // Letter case of keywords, precedence, parentheses, NOT.
    {"select a, B from t where a = 1 or b = 2 and not c = 3",
     "SELECT a B FROM t WHERE OR[(a = i1) AND[(b = i2) NOT(c = i3)]]"},
    {"SELECT * FROM t WHERE (a = 1 OR b = 2) AND c <> 3",
     "SELECT * FROM t WHERE AND[OR[(a = i1) (b = i2)] (c <> i3)]"},
    {"SELECT * FROM t WHERE NOT (a <= 1) AND NOT NOT b >= 2",
     "SELECT * FROM t WHERE AND[NOT(a <= i1) NOTNOT(b >= i2)]"},
    {"SELECT * FROM t WHERE 0 > a AND b != c", "SELECT * FROM t WHERE AND[(i0 > a) (b <> c)]"},
    {"SELECT * FROM t WHERE a IS NULL OR b IS NOT NULL",
     "SELECT * FROM t WHERE OR[(a IS NULL) (b IS NOT NULL)]"},
    // Literals: negative, decimal, exponent, quotes doubled inside, both quote kinds, NULL.
    {"SELECT * FROM t WHERE a = -18 OR a = 2.50 OR a = -.5 OR a = 1e3 OR a = + 7",
     "SELECT * FROM t WHERE OR[(a = i-18) (a = f2.5) (a = f-0.5) (a = f1000) (a = i7)]"},
    {"SELECT * FROM t WHERE a = 'l''acte' OR a = \"dit \"\"PAV\"\"\" OR a = ''",
     "SELECT * FROM t WHERE OR[(a = 'l'acte') (a = 'dit \"PAV\"') (a = '')]"},
    {"SELECT * FROM t WHERE a = 99999999999999999999", "SELECT * FROM t WHERE (a = f1e+20)"},
    // A number no double holds is refused, not read as infinity or zero.
    {"SELECT * FROM t WHERE a = 1e999", "!Erreur de syntaxe près de '1e999'"},
    {"SELECT * FROM t WHERE a = 1e-999", "!Erreur de syntaxe près de '1e-999'"},
    // Parameters are numbered by occurrence, names may repeat.
    {"UPDATE t SET a = :x, b = 'k', c = NULL WHERE d = :x AND e < :y",
     "UPDATE t SET a=:0=x b='k' c=NULL WHERE AND[(d = :1=x) (e < :2=y)]"},
    // Ordering keys, table names with a suffix or quoted, an ending semicolon.
    {"SELECT * FROM cpmain.db ORDER BY a DESC, b, c asc;",
     "SELECT * FROM cpmain.db ORDER a DESC b ASC c ASC"},
    {"SELECT * FROM \"CPMain.DB\"", "SELECT * FROM CPMain.DB"},
    {"SELECT * FROM 'Version'", "SELECT * FROM Version"},
    // Faults name the place where the text went wrong.
    {"SELEC * FROM t", "!Erreur de syntaxe près de 'SELEC * FROM t'"},
    {"SELECT * FROM t WHERE a < ", "!Erreur de syntaxe : fin de requête inattendue"},
    {"SELECT * FROM t WHERE a = 'abc", "!Erreur de syntaxe : chaîne non terminée près de ''abc'"},
    {"SELECT * FROM t WHERE (a = 1", "!Erreur de syntaxe : fin de requête inattendue"},
    {"SELECT * FROM t WHERE a = 1)", "!Erreur de syntaxe près de ')'"},
    {"SELECT * FROM t WHERE a == 1", "!Erreur de syntaxe près de '= 1'"},
    {"SELECT * FROM t\nWHERE a = 1 b = 2\nORDER BY a", "!Erreur de syntaxe près de 'b = 2'"},
    {"SELECT a, FROM t", "!Erreur de syntaxe près de 'FROM t'"},
    {"SELECT * FROM t ORDER a", "!Erreur de syntaxe près de 'a'"},
    {"SELECT * FROM t WHERE a = 12abc", "!Erreur de syntaxe près de '12abc'"},
    {"SELECT * FROM t WHERE a = # 1", "!Erreur de syntaxe près de '# 1'"},
    {"SELECT * FROM t WHERE a = : x", "!Erreur de syntaxe près de ': x'"},
    {"UPDATE t SET a = b WHERE c = 1", "!Erreur de syntaxe près de 'b WHERE c = 1'"},
    {"UPDATE t SET WHERE c = 1", "!Erreur de syntaxe près de 'WHERE c = 1'"},
    {"DELETE FROM t", "!Erreur de syntaxe près de 'DELETE FROM t'"},
    {"SELECT * FROM t; SELECT * FROM u", "!Erreur de syntaxe près de 'SELECT * FROM u'"},
    {"", "!Erreur de syntaxe : fin de requête inattendue"},
    {"SELECT * FROM t WHERE a = 1 AND bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb",
     "!Erreur de syntaxe : fin de requête inattendue"},
    {"SELECT * FROM t WHERE a = 1 b bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb",
     "!Erreur de syntaxe près de 'b bbbbbbbbbbbbbbbbbbbbbbbbbbbb...'"},
};

TEST(ParserTest, StatementsGiveTheirTreeOrTheirError) {
  for (const ParseCase& c : kCases) {
    SCOPED_TRACE(c.sql);
    const std::string expected = c.expected;
    if (expected.front() == '!') {
      try {
        Parse(c.sql);
        ADD_FAILURE() << "no error, expected " << expected;
      } catch (const EDatabaseError& error) {
        EXPECT_EQ(error.what(), expected.substr(1));
      }
    } else {
      EXPECT_EQ(Render(Parse(c.sql)), expected);
    }
  }
}

TEST(ParserTest, ParametersAreCountedByOccurrence) {
  const Statement statement = Parse(kWrite);
  EXPECT_EQ(statement.parameterNames,
            (std::vector<std::string>{"montantSS1", "montantSS2", "montantSS3", "montantSS4",
                                      "montantSS5", "montantSS6", "montantSS7", "cpmain_id"}));
}

TEST(ParserTest, DeepNestingIsRefusedNotOverflowed) {
  const std::string deep =
      "SELECT * FROM t WHERE " + std::string(100000, '(') + "a = 1" + std::string(100000, ')');
  EXPECT_THROW(Parse(deep), EDatabaseError);
  const std::string nots = "SELECT * FROM t WHERE " + [] {
    std::string s;
    for (int i = 0; i < 100000; ++i) s += "NOT ";
    return s;
  }() + "a = 1";
  EXPECT_THROW(Parse(nots), EDatabaseError);
  // Nesting a person would write is fine.
  EXPECT_NO_THROW(
      Parse("SELECT * FROM t WHERE " + std::string(50, '(') + "a = 1" + std::string(50, ')')));
}

}  // namespace
}  // namespace patchpav::sql
