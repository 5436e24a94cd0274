#pragma once

#include <cstdint>
#include <string>

namespace patchpav {

class CorrectionHost;
class CorrectionJournal;
class TQuery;

// The statement texts of the run, line by line as the product's own queries hold them.
extern const char* const kSelectNegativeRowsLines[12];
extern const char* const kUpdateRowLines[10];

struct CorrectionSummary {
  int sweeps = 0;       // sweeps over a selection that held rows
  int rowsWritten = 0;  // successful UPDATEs
  int rowsLeft = 0;     // rows reported for a technician (failed write, amounts not finite,
                        // or a row that the selection keeps finding without progress)
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
// The run always ends. A row is given up, and reported once with the warning for a technician,
// when its write fails (or changes no row), when its amounts are not finite numbers, or when the
// selection made afresh finds it again although the amounts it holds are not those the run wrote
// (or it was passed over before because its amounts held no negative value): such a row can make no
// progress, and every other row loses one negative amount per sweep, so the run takes at most
// six sweeps plus one for the rows it gives up.
//
// Failures of the selection itself (opening it, reading a field, moving to the next row) are not
// handled here: the window is made usable again (enabled, default cursor, progress dialog and
// animation hidden) and the error travels on to the application's general error message.
//
// Each write goes to the journal first (see CorrectionJournal): the backup is made before the
// first one, and a write whose record cannot be made is not made.
//
// `select` and `update` must be set to the connection's database name; their SQL text is set
// here.
CorrectionSummary RunCorrection(TQuery& select, TQuery& update, CorrectionHost& host,
                                CorrectionJournal& journal);
// The same for a caller that keeps no record of the writes.
CorrectionSummary RunCorrection(TQuery& select, TQuery& update, CorrectionHost& host);

// The status line of one row: "Correction de l'enregistrement comptable n°1234 (3/17)".
std::string RowStatusText(const std::string& key, std::size_t counter, std::size_t total);

}  // namespace patchpav
