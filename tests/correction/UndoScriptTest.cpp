#include "correction/UndoScript.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace patchpav {
namespace {

// Each amount is a float constant of T-SQL (an exponent, never a bare decimal point, which
// would make it a DECIMAL) whose digits read back as the same double.
TEST(UndoScriptTest, AmountsAreFloatConstantsThatReadBackExactly) {
  const struct {
    double value;
    const char* literal;
  } cases[] = {
      {9.15, "9.15E0"},
      {-1.8400000000000016, "-1.8400000000000016E0"},
      {0.1, "1E-1"},
      {0.1 + 0.2, "3.0000000000000004E-1"},
      {1e-300, "1E-300"},
      {std::numeric_limits<double>::max(), "1.7976931348623157E308"},
      {1e21, "1E21"},
      {-18, "-1.8E1"},
      {0, "0E0"},
      {-0.0, "-0E0"},
      {std::numeric_limits<double>::denorm_min(), "5E-324"},
  };
  for (const auto& c : cases) {
    const std::string literal = FloatLiteral(c.value);
    EXPECT_EQ(c.literal, literal);
    double back = 0;
    const auto read = std::from_chars(literal.data(), literal.data() + literal.size(), back);
    ASSERT_EQ(std::errc(), read.ec) << literal;
    EXPECT_EQ(literal.data() + literal.size(), read.ptr) << literal;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(c.value), std::bit_cast<std::uint64_t>(back)) << literal;
  }
}

// Each row goes back only while it holds what the run wrote (or, after a write whose outcome is
// unknown, what it held before); the check that follows rolls everything back and names the row.
TEST(UndoScriptTest, EachUpdateIsGuardedByWhatTheRunWrote) {
  const JournalRow row{1234, {25, -18, std::nullopt, 0, 0.1, -0.0, 0}, {7, 0, 0, 0, 0.1, -0.0, 0}};
  const std::string set =
      "UPDATE CPMAIN SET MontantSS1 = 2.5E1, MontantSS2 = -1.8E1, MontantSS3 = NULL, "
      "MontantSS4 = 0E0, MontantSS5 = 1E-1, MontantSS6 = -0E0, MontantSS7 = 0E0 "
      "WHERE CPMain_ID = 1234 AND ";
  const std::string written =
      "MontantSS1 = 7E0 AND MontantSS2 = 0E0 AND MontantSS3 = 0E0 AND MontantSS4 = 0E0 AND "
      "MontantSS5 = 1E-1 AND MontantSS6 = -0E0 AND MontantSS7 = 0E0";
  const std::string read =
      "MontantSS1 = 2.5E1 AND MontantSS2 = -1.8E1 AND MontantSS3 IS NULL AND MontantSS4 = 0E0 "
      "AND MontantSS5 = 1E-1 AND MontantSS6 = -0E0 AND MontantSS7 = 0E0";
  const std::string check =
      ";\r\nIF @@ROWCOUNT <> 1 BEGIN ROLLBACK TRANSACTION; RAISERROR(N'Annulation abandonnée, "
      "rien n''a été remis : l''enregistrement CPMAIN_ID=1234 a été modifié depuis la "
      "correction.', 16, 1); RETURN; END;";
  EXPECT_EQ(set + written + check, UndoStatement({row, true}));
  EXPECT_EQ(set + "((" + written + ") OR (" + read + "))" + check, UndoStatement({row, false}));
}

// The script opens with what a user needs to know, then makes the restore all or nothing, on the
// database the run wrote to, newest write first.
TEST(UndoScriptTest, ScriptIsOneTransactionThatAnErrorAborts) {
  const std::vector<UndoWrite> writes = {
      {{7, {-18, 30, -5, 0, 0, 0, std::nullopt}, {0, 12, -5, 0, 0, 0, 0}}},
      {{7, {0, 12, -5, 0, 0, 0, 0}, {0, 7, 0, 0, 0, 0, 0}}},
  };
  const struct {
    UndoTarget target;
    const char* use;            // the USE line, empty for none
    const char* headerExcerpt;  // a piece of the header
  } cases[] = {
      {{"SRV\\KLINOVA", "Klinova", "20261208-154300"},
       "USE [Klinova];\r\n",
       "le 08/12/2026 à 15:43:00 (dossier 20261208-154300)"},
      {{"SRV", "a]b", "20261208-154300-2"}, "USE [a]]b];\r\n", "la base de données a]b du serveur"},
      {{"", "", "x"}, "", "(dossier x)"},
      // A name cannot end the comment it is written in.
      {{"SRV", "a\r\nDROP TABLE CPMAIN", "x"},
       "USE [a\r\nDROP TABLE CPMAIN];\r\n",
       "-- sur la base de données a  DROP TABLE CPMAIN du serveur SRV.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target.database);
    const std::string sql = UndoScript(c.target, writes);
    const std::string body = std::string("SET XACT_ABORT ON;\r\n") + c.use +
                             "BEGIN TRANSACTION;\r\n" + UndoStatement(writes[1]) + "\r\n" +
                             UndoStatement(writes[0]) + "\r\nCOMMIT TRANSACTION;\r\n";
    ASSERT_GT(sql.size(), body.size());
    EXPECT_EQ(body, sql.substr(sql.size() - body.size()));
    const std::string header = sql.substr(0, sql.size() - body.size());
    for (std::size_t at = 0; at < header.size(); at = header.find("\r\n", at) + 2) {
      EXPECT_EQ("--", header.substr(at, 2)) << header.substr(at);
    }
    EXPECT_NE(std::string::npos, header.find(c.headerExcerpt)) << header;
    EXPECT_NE(std::string::npos, header.find("SQL Server Management Studio")) << header;
    EXPECT_NE(std::string::npos, header.find("sqlcmd -S <serveur> -d <base> -b -f 65001 -i "
                                             "annulation.sql"))
        << header;
  }
}

}  // namespace
}  // namespace patchpav
