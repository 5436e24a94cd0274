#include "correction/BatchSizer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>

namespace patchpav {
namespace {

using std::chrono::milliseconds;

// One run's batches in order, from 256 rows with at most 4096: what each took, and the size the
// next one plans.
TEST(BatchSizerTest, TheBatchGrowsWhileItsFlushesCostMoreThanHalfItsWork) {
  struct Step {
    const char* what;
    std::size_t rows;
    int flushMs;
    int workMs;
    std::size_t next;
  } steps[] = {
      {"20 ms of flushes for 8 of work: doubled until they are half", 256, 20, 8, 2048},
      {"still more than half: doubled once", 2048, 20, 32, 4096},
      {"no further than the most", 4096, 20, 16, 4096},
      {"between an eighth and half of the work: kept", 4096, 20, 60, 4096},
      {"a sweep's last batch, short: not judged", 300, 20, 1, 4096},
      {"flushes under an eighth of the work: halved", 4096, 1, 60, 2048},
      {"halved again", 2048, 1, 30, 1024},
      {"and again", 1024, 1, 30, 512},
      {"and again", 512, 1, 30, 256},
      {"never under the first size", 256, 1, 30, 256},
      {"no time measured: kept", 256, 0, 0, 256},
      {"exactly half: kept", 256, 10, 20, 256},
      {"flushes and no work measured: the most", 256, 10, 0, 4096},
  };
  BatchSizer sizer(256, 4096);
  EXPECT_EQ(256u, sizer.Rows());
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    sizer.BatchDone(step.rows, milliseconds(step.flushMs), milliseconds(step.workMs));
    EXPECT_EQ(step.next, sizer.Rows());
  }
}

// Limits that make no sense still give batches of at least one row, and no smaller than the first.
TEST(BatchSizerTest, ABatchHoldsAtLeastOneRowAndTheFirstSize) {
  EXPECT_EQ(1u, BatchSizer(0, 0).Rows());
  BatchSizer sizer(4, 2);
  sizer.BatchDone(4, milliseconds(10), milliseconds(1));
  EXPECT_EQ(4u, sizer.Rows());
}

}  // namespace
}  // namespace patchpav
