#pragma once

// The text of annulation.sql: the T-SQL script that puts a server base's rows back as they were
// before a run, for SQL Server Management Studio or sqlcmd to run as it stands.
//
// It restores all or nothing. SET XACT_ABORT ON makes any run-time error (a trigger, a lock
// timeout) roll back the whole transaction instead of that statement alone, and each UPDATE puts
// a row back only while the row still holds what the run wrote: a row changed since the run is
// not overwritten, the transaction is rolled back and the error names the row. The guard is
// checked with RAISERROR after an explicit ROLLBACK rather than with THROW, so that SQL Server
// 2008 runs it too (RAISERROR does not end the transaction by itself, even under XACT_ABORT).

#include <span>
#include <string>

#include "correction/CorrectionJournal.h"

namespace patchpav {

// A float constant of T-SQL with the shortest digits that read back as exactly this double:
// 9.15E0, -1.8400000000000016E0, 1E-300, -0E0. A constant with a decimal point and no exponent
// would be a DECIMAL, converted to float on assignment; only the exponent makes it a float.
// -0.0 becomes -0E0: the unary minus applied to the float 0E0, which IEEE arithmetic makes a
// negative zero. The value must be finite (the run writes no other).
std::string FloatLiteral(double value);

// One write to undo. outcomeKnown is false for a write whose error left unknown whether it
// reached the base: its row may hold either the amounts read or those written.
struct UndoWrite {
  JournalRow row;
  bool outcomeKnown = true;
};

// Where the run wrote, for the script's header and its USE statement; empty when unknown.
struct UndoTarget {
  std::string server;
  std::string database;
  std::string folderName;  // the run's backup folder, named after the local time it started
};

// The UPDATE that puts one row back, followed by the check that it found the row.
std::string UndoStatement(const UndoWrite& write);

// The whole script; writes in the order they were made (it undoes them newest first).
std::string UndoScript(const UndoTarget& target, std::span<const UndoWrite> writes);

}  // namespace patchpav
