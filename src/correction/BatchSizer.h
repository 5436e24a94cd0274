#pragma once

#include <chrono>
#include <cstddef>

namespace patchpav {

// How many rows the next batch of writes plans. Each batch costs two flushes (the journal's
// before its writes, the base's after) whatever its size: on a fast disk they are a small part of
// a batch's work, but on a slow one (a workstation's hard disk, a network share: 5 to 15 ms a
// flush) they can cost several times the work of a batch of `first` rows. So where a batch's
// flushes cost more than half its work, the next is doubled as many times as brings them to half
// (the work growing with the rows), up to `most` rows; and once they cost less than an eighth of
// it, the next is halved, down to `first` (between the two the size stays, so that it does not
// swing with each measurement). The run's own limit of time per
// batch applies besides. A batch with fewer rows than the size asked (the end of a sweep) is not
// judged: its flushes cost what a full batch's do, over fewer rows.
class BatchSizer {
 public:
  using Duration = std::chrono::steady_clock::duration;

  BatchSizer(std::size_t first, std::size_t most);

  std::size_t Rows() const { return rows_; }
  // A batch of `rows` rows is done: its flushes took `flushes`, and its work the rest.
  void BatchDone(std::size_t rows, Duration flushes, Duration work);

 private:
  std::size_t first_;
  std::size_t most_;
  std::size_t rows_;
};

}  // namespace patchpav
