// The run's summary is checked against the rows' histories after each sweep (debug builds): a
// summary that disagrees stops the program with the counts of both. The run's own tests run with
// the check on and pass.

#include "correction/RowHistories.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/core/DebugCheck.h"

namespace patchpav {
namespace {

// Two sweeps: row 10 written twice, row 20 written then given up, row 30 passed over, two rows
// sharing key 40 and one row without a key given up.
RowHistories TwoSweeps() {
  RowHistories h;
  h.Written(10, 2);
  h.Written(20, 1);
  h.PassedOver(30, 0);
  h.GiveUp(40);
  h.GiveUp(40);
  h.ReportKeyless("");
  h.Written(10, 1);
  h.GiveUp(20);
  return h;
}

TEST(RowHistoriesTest, ASummaryThatDisagreesWithTheHistoriesStops) {
  if constexpr (!kDebugChecks) GTEST_SKIP() << "checks are compiled away in release builds";
  const CorrectionSummary agreeing{.sweeps = 2, .rowsWritten = 3, .rowsLeft = 4};
  TwoSweeps().CheckInvariants(agreeing, 4);  // what a correct run counts: passes
  const struct {
    const char* broken;
    std::function<void(CorrectionSummary&, int&)> make;
    const char* report;
  } cases[] = {
      {"a write not counted", [](CorrectionSummary& s, int&) { s.rowsWritten = 2; },
       "the summary counts 2 rows written and 4 left; the rows' histories 3 writes"},
      {"a row left twice", [](CorrectionSummary& s, int&) { s.rowsLeft = 5; },
       "5 left; the rows' histories 3 writes and 4 reports; 4 warnings shown"},
      {"a warning shown twice", [](CorrectionSummary&, int& warnings) { warnings = 5; },
       "4 reports; 5 warnings shown"},
      {"more writes of a row than sweeps", [](CorrectionSummary& s, int&) { s.sweeps = 1; },
       "row 10: 2 writes in 1 sweeps"},
  };
  for (const auto& c : cases) {
    CorrectionSummary summary = agreeing;
    int warnings = 4;
    c.make(summary, warnings);
    EXPECT_DEATH(TwoSweeps().CheckInvariants(summary, warnings), c.report) << c.broken;
  }
}

}  // namespace
}  // namespace patchpav
