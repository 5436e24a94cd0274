// The run's summary and its warnings are read from the rows' histories, so they cannot disagree
// with what happened to the rows.

#include "correction/RowHistories.h"

#include <gtest/gtest.h>

namespace patchpav {
namespace {

TEST(RowHistoriesTest, TheSummaryAndTheReportsComeFromTheRows) {
  // Two sweeps: row 10 written twice (corrected by the second write), row 20 written then found
  // again without its progress and given up, row 30 passed over, two rows sharing key 40 given
  // up, a blank key reported and a keyless row that needed nothing passed over.
  RowHistories h;
  h.SweepStarted();
  h.Written(10, 2, 1);
  h.Written(20, 1, 0);
  h.PassedOver(30, 0);
  EXPECT_EQ(1u, h.GiveUp(40, "40"));
  EXPECT_EQ(2u, h.GiveUp(40, "40"));
  EXPECT_EQ(3u, h.ReportKeyless("", "(vide)"));
  h.PassOverKeyless("n/a");
  h.SweepStarted();
  h.Written(10, 1, 0);
  EXPECT_EQ(4u, h.GiveUp(20, "20"));
  h.CheckInvariants();

  const CorrectionSummary summary = h.Summary();
  EXPECT_EQ(2, summary.sweeps);
  EXPECT_EQ(3, summary.rowsWritten);
  EXPECT_EQ(1, summary.rowsCorrected);  // row 20's write did not hold
  EXPECT_EQ(4, summary.rowsLeft);
  EXPECT_EQ((std::vector<std::string>{"40", "40", "(vide)", "20"}), h.Reports());
  EXPECT_TRUE(h.KeylessKnown("n/a"));
  EXPECT_TRUE(h.KeylessKnown(""));
  EXPECT_TRUE(h.GivenUp(20));
  EXPECT_FALSE(h.GivenUp(30));
}

}  // namespace
}  // namespace patchpav
