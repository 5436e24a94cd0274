#include "correction/BatchSizer.h"

#include <algorithm>

namespace patchpav {

BatchSizer::BatchSizer(std::size_t first, std::size_t most)
    : first_(std::max<std::size_t>(first, 1)), most_(std::max(most, first_)), rows_(first_) {}

void BatchSizer::BatchDone(std::size_t rows, Duration flushes, Duration work) {
  if (rows < rows_) return;
  if (flushes * 2 > work) {
    // As many doublings as bring the flushes to half the work, the work growing with the rows:
    // on a slow disk the first batches are the costly ones, and a step at a time would take five.
    std::size_t next = rows_;
    for (Duration grown = work; next < most_ && flushes * 2 > grown; grown *= 2) next *= 2;
    rows_ = std::min(next, most_);
  } else if (flushes * 8 < work) {
    rows_ = std::max(rows_ / 2, first_);
  }
}

}  // namespace patchpav
