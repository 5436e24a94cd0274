#pragma once

// Which failures of the run's writes stop it. A write can fail for the row alone (an amount the
// column refuses, a constraint, a lock on that row): the row is left for a technician and the
// others are still corrected. Or it can fail for every row alike (the connection is gone, the
// login may not change the table, its file is read-only or held by another program): then every
// later write would fail too, and one box that says why is worth more than a warning per row.

#include <cstddef>
#include <exception>
#include <optional>
#include <string>

namespace patchpav {

enum class StopCause {
  ConnectionLost,
  PermissionDenied,
  ReadOnly,
  InUse,
  IndexedField,
  RepeatedFailures,  // the first writes of the run all failed, for reasons the driver did not tell
  Unwritable,        // the check before the first write failed for a reason the driver did not tell
};

// How many failed writes in a row, with none succeeding before them, stop the run.
inline constexpr int kFailuresBeforeStop = 3;

// The cause of a failed write when it concerns the table rather than the row; nullopt when it
// may be the row's own.
std::optional<StopCause> TableWideCause(const std::exception& error);

// The text of the one error box of a stopped run. beforeFirstWrite: the table was found
// unwritable before any row was touched. detail: the engine's own text, for a technician.
std::string StoppedRunMessage(StopCause cause, bool beforeFirstWrite, std::size_t rowsNotCorrected,
                              const std::string& detail);

}  // namespace patchpav
