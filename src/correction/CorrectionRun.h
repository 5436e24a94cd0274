#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace patchpav {

class CorrectionHost;
class CorrectionJournal;
class TQuery;

// The statement texts of the run, line by line as the product's own queries hold them.
extern const char* const kSelectNegativeRowsLines[12];
extern const char* const kUpdateRowLines[10];

struct CorrectionSummary {
  int sweeps = 0;         // sweeps over a selection that held rows
  int rowsWritten = 0;    // successful UPDATEs
  int rowsCorrected = 0;  // rows whose last write left no negative amount
  int rowsLeft = 0;       // rows reported for a technician (failed write, amounts not finite,
                          // no usable key, or a row that the selection keeps finding without
                          // progress)
};

// How many rows one pair of flushes covers. The rows of a sweep are written in batches: the
// journal lines of a batch's writes are flushed together before its first UPDATE, and the base's
// writes together after its last one, so a disk whose flush is slow (a workstation's hard disk, a
// network share) costs two flushes per batch instead of two per row. A batch plans `rows` rows;
// where its two flushes cost more than half its work (a slow disk), the next plans twice as many,
// up to `maxRows`, and back towards `rows` once they are cheap (BatchSizer). Whatever its size, the
// base is flushed after `work` of time, so that the progress stays live and a run cut short has
// little in flight.
struct WriteBatchLimits {
  std::size_t rows = 256;
  std::size_t maxRows = 16 * 256;
  std::chrono::steady_clock::duration work = std::chrono::milliseconds(250);
  // The clock that measures the work and the flushes; empty: std::chrono::steady_clock. Tests
  // give their own.
  std::function<std::chrono::steady_clock::time_point()> clock;
};

// The run stopped because the table cannot be written (see Failures below): the message is the
// one error box the user sees, naming the cause and how many rows were not corrected.
class ECorrectionStopped : public std::runtime_error {
 public:
  ECorrectionStopped(const std::string& message, std::size_t rowsCorrected,
                     std::size_t rowsNotCorrected)
      : std::runtime_error(message),
        rowsCorrected_(rowsCorrected),
        rowsNotCorrected_(rowsNotCorrected) {}
  std::size_t RowsCorrected() const { return rowsCorrected_; }
  std::size_t RowsNotCorrected() const { return rowsNotCorrected_; }

 private:
  std::size_t rowsCorrected_;
  std::size_t rowsNotCorrected_;
};

// Corrects every accounting row of CPMAIN that holds a negative amount: selects them ordered by
// key, applies the redistribution rule to each, writes each corrected row with one UPDATE, and
// selects again while rows remain. Progress, outcome and failures go to the host; at the end it
// presses Close.
//
// States: searching (selection being opened), sweeping (one pass over the current selection),
// finished (the outcome box confirmed). A sweep keeps the main window disabled from its start to
// its end, so neither Execute nor Close acts while rows are written.
//
// The run always ends. A row is given up, and reported once for a technician, when its write
// raises an error of its own (a deadlock's victim is tried once more first), when its amounts
// are not finite numbers, when its key is blank, not an integer, or shared with another selected
// row (an UPDATE by that key could write another row), or when the selection made afresh finds it
// again without the negative amount it lost when written (a write that raised no error but did not
// hold), or it was passed over before because its amounts held no negative value: such a row can
// make no progress, and every other row loses one negative amount per sweep, so the run takes at
// most six sweeps plus one for the rows it gives up. The count of rows an UPDATE reports is no
// verdict either way. A row without a usable key that the rule would not change is passed over
// without a word.
//
// Reports. The first kWarningsOneByOne rows given up get the warning box each; the others are
// counted, and one box at the end of the run, before the outcome box, says how many rows were
// corrected and how many were not, with the first keys (WriteFailure.h).
//
// Failures. A failure that concerns the table rather than the row (connection lost, permission
// refused, file or database read-only, table held by another program, amounts covered by an
// index) stops the run: nothing more is written and ECorrectionStopped carries the one box to
// show, with the rows corrected and not corrected. Failures the driver cannot name are the
// row's own, however many rows meet them.
// Before the first write the UPDATE is checked as far as the driver can tell without writing, so
// a table known to be unwritable is said once before any row is touched.
//
// Failures of the selection itself (opening it, reading a field, moving to the next row) are not
// handled here. After them, as after a stop, the window is made usable again (enabled, default
// cursor, progress dialog and animation hidden), Close is not pressed, and the error travels on
// to the application's general error message.
//
// Each write goes to the journal first (see CorrectionJournal): the backup is made before the
// first one, a batch's writes are made only once their lines are on the disk, and a write whose
// record cannot be made is not made. The base's writes are flushed at the end of each batch
// (TQuery::FlushWrites), the last before the final box, so "terminée" means on the disk. A run
// that stops records the writes of its open batch that it did not make (NotWritten) and flushes
// those it made.
//
// `select` and `update` must be set to the connection's database name; their SQL text is set
// here.
CorrectionSummary RunCorrection(TQuery& select, TQuery& update, CorrectionHost& host,
                                CorrectionJournal& journal, const WriteBatchLimits& limits = {});
// The same for a caller that keeps no record of the writes.
CorrectionSummary RunCorrection(TQuery& select, TQuery& update, CorrectionHost& host);

// The status line of one row: "Correction de l'enregistrement comptable n°1234 (3/17)".
std::string RowStatusText(const std::string& key, std::size_t counter, std::size_t total);

}  // namespace patchpav
