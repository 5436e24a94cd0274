#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace patchpav {

// The seven amounts of a row; nullopt for an amount that holds no value.
using JournalAmounts = std::array<std::optional<double>, 7>;

// One write of the run: the row's key, its amounts as read and the amounts about to be written.
struct JournalRow {
  std::int64_t key = 0;
  JournalAmounts before;
  JournalAmounts after;
};

// What the correction run reports of its writes, as it reports its progress to the window: the
// application decides where the backup and the journal go; tests record the calls. Calls come in
// this order: BeginWrites once, just before the run's first write (never in a run that writes
// nothing); then, batch by batch, WriteAhead for each UPDATE the batch will run, Flush, and only
// then the UPDATEs, each followed by WriteFailed or WriteUncertain if it raised an error;
// NotWritten for the writes of the open batch that a run stopping early did not make; Finish when
// the run ends, normally or on a failure.
class CorrectionJournal {
 public:
  virtual ~CorrectionJournal() = default;

  // Makes the backup of what the run is about to change. A failure is an exception naming the
  // cause; the run then writes nothing.
  virtual void BeginWrites() = 0;
  // Records a write before it happens. The record need not be on the disk before Flush.
  virtual void WriteAhead(const JournalRow& row) = 0;
  // Puts every record made so far on the disk, so that a run stopped at any moment leaves a
  // record of every write that may have reached the base. A failure is an exception; the batch's
  // UPDATEs are then not executed and the run ends.
  virtual void Flush() = 0;
  // The UPDATE of this row raised an error (message): the base keeps the amounts it had.
  virtual void WriteFailed(const JournalRow& row, const std::string& message) = 0;
  // The UPDATE of this row raised an error (message) after which the row may hold either its
  // amounts before or those written: the link to the server broke while it ran, or the table's
  // file failed while the record was being written. Its undo is kept.
  virtual void WriteUncertain(const JournalRow& row, const std::string& message) = 0;
  // The run stopped before the UPDATE of this row, recorded by WriteAhead, was executed.
  virtual void NotWritten(const JournalRow& row) = 0;
  // The run is over: every record is put on the disk. After a failure, the run calls it and
  // ignores what it throws. A failure here concerns the record of the run only: the writes are
  // done.
  virtual void Finish() = 0;
  // The folder that holds the backup and the journal, as the user must find it; empty while
  // there is none (before the first write, or a caller that keeps no record).
  virtual std::string FolderText() const { return {}; }
};

}  // namespace patchpav
