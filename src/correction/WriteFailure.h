#pragma once

// Which failures of the run's writes stop it, and the boxes that tell the user how a run that
// could not correct every row ended. A write can fail for the row alone (an amount the column
// refuses, a constraint or a trigger, a lock on that row, or a reason the driver cannot name):
// the row is left for a technician and the others are still corrected. Or it can fail for every
// row alike (the connection is gone, the login may not change the table, its file is read-only
// or held by another program): then every later write would fail too, and one box that says why
// is worth more than a warning per row.

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace patchpav {

enum class StopCause {
  ConnectionLost,
  PermissionDenied,
  ReadOnly,
  InUse,
  IndexedField,
  Unwritable,  // the check before the first write failed for a reason the driver did not tell
};

// Rows reported for a technician one box each; the rows after them are only counted, and named
// in the one box at the end of the run, so that a table refusing every row does not bury the user
// under boxes.
inline constexpr std::size_t kWarningsOneByOne = 3;
// How many keys that box names.
inline constexpr std::size_t kKeysListed = 20;

// The cause of a failed write when it concerns the table rather than the row; nullopt when it
// is the row's own.
std::optional<StopCause> TableWideCause(const std::exception& error);

// Whether a failed write is worth trying once more before it counts: the server chose it as the
// victim of a deadlock, which the same write made again usually does not meet.
bool WorthRetrying(const std::exception& error);

// How far a run got: rows written with no negative amount left, and rows that still hold one.
struct RowCounts {
  std::size_t corrected = 0;
  std::size_t notCorrected = 0;
};

// The boxes below are lines joined with "\r"; moreLines are added as lines of their own after
// the counts (and before the engine's own text, where there is one).

// The text of the one error box of a stopped run. beforeFirstWrite: the table was found
// unwritable before any row was touched. detail: the engine's own text, for a technician.
std::string StoppedRunMessage(StopCause cause, bool beforeFirstWrite, RowCounts counts,
                              const std::string& detail,
                              const std::vector<std::string>& moreLines = {});

// The box shown at the end of a run that left rows for a technician beyond those it warned of
// one by one: how many rows were corrected and how many were not, the first keys of the latter
// (keys: every one, in the order reported), and where all of them are listed.
std::string UncorrectedRowsMessage(std::size_t rowsCorrected, const std::vector<std::string>& keys,
                                   const std::vector<std::string>& moreLines = {});

}  // namespace patchpav
