#include "engine/drivers/odbc/StatementText.h"

#include <gtest/gtest.h>

#include "engine/core/Errors.h"
#include "engine/drivers/odbc/WideText.h"

namespace patchpav::odbc {
namespace {

TEST(RewriteStatement, MarkersAndLiterals) {
  struct Case {
    std::string sql;
    bool doubleQuotesAreStrings;
    std::string expected;
    std::size_t parameters;
  };
  const Case cases[] = {
      {"UPDATE T SET A = :a,\n B = :b_2 Where K = :k", false,
       "UPDATE T SET A = ?,\n B = ? Where K = ?", 3},
      {"SELECT ':not' , \":nor\" FROM T WHERE X=:x", false,
       "SELECT ':not' , \":nor\" FROM T WHERE X=?", 1},
      {"SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"", true,
       "SELECT VERSION FROM VERSION WHERE MODULE = 'DATABASE'", 0},
      {"SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"", false,
       "SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"", 0},
      {"WHERE A = \"it's\" AND B = 'say \"hi\"' AND C = \"x\"\"y\" AND D = :d", true,
       "WHERE A = 'it''s' AND B = 'say \"hi\"' AND C = 'x\"y' AND D = ?", 1},
      {"WHERE A = 'it''s :no' AND B = :yes", true, "WHERE A = 'it''s :no' AND B = ?", 1},
      {"SELECT X::integer, :p FROM T WHERE T = 'a", true,
       "SELECT X::integer, ? FROM T WHERE T = 'a", 1},
      {"SELECT 1 : 2, :", false, "SELECT 1 : 2, :", 0},
      {"WHERE A = :montant\xC3\xA9 + :b", false, "WHERE A = ? + ?", 2},
      {"\"unterminated :x", true, "'unterminated :x'", 0},
  };
  for (const Case& c : cases) {
    const StatementText result = RewriteStatement(c.sql, c.doubleQuotesAreStrings);
    EXPECT_EQ(result.text, c.expected) << c.sql;
    EXPECT_EQ(result.parameterCount, c.parameters) << c.sql;
  }
}

TEST(WideText, RoundTripAndRefusal) {
  for (const std::string text : {"", "abc", "Écart de 18 €", "😀 x", "\x7F\xC2\x80\xEF\xBF\xBF"}) {
    EXPECT_EQ(ToUtf8(ToWide(text)), text);
  }
  EXPECT_EQ(ToWide("€😀"), (WideText{0x20AC, 0xD83D, 0xDE00}));
  for (const std::string bad :
       {"\xC3", "\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "a\xFF"}) {
    EXPECT_THROW(ToWide(bad), EDatabaseError) << bad.size();
  }
  const SQLWCHAR lone[] = {'a', 0xD800, 'b'};
  EXPECT_EQ(ToUtf8(lone, 3),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace patchpav::odbc
