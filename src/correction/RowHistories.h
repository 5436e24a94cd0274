#pragma once

// What the correction run remembers of the rows it has handled, between sweeps, and the check
// that the summary it gives agrees with it.
//
// Invariants, checked after each sweep in debug builds (CheckInvariants):
//  1. The summary's written rows are the sum of the rows' successful writes, and no row is
//     written more often than there were sweeps (once per sweep at most).
//  2. The summary's rows left are the sum of the rows' reports, which are the warnings shown: a
//     row is reported once, and each row sharing a key once.
//  3. A row is given up exactly when it was reported; a row known as written was written.

#include <cstdint>
#include <map>
#include <string>

#include "correction/CorrectionRun.h"

namespace patchpav {

class RowHistories {
 public:
  enum class State { Written, PassedOver, GivenUp };
  struct History {
    State state = State::PassedOver;
    int negativeAmounts = 0;  // as read when the row was last handled
    int writes = 0;           // successful writes
    int reports = 0;          // times reported for a technician (once per row with the key)
  };

  // The row's history by key; nullptr for a row not handled yet.
  const History* Find(std::int64_t key) const;
  bool GivenUp(std::int64_t key) const;
  void Written(std::int64_t key, int negativeAmounts);
  void PassedOver(std::int64_t key, int negativeAmounts);
  // Reported for a technician and left alone for the rest of the run.
  void GiveUp(std::int64_t key);

  // Rows without a usable key, known by their key as read: reported once, then skipped.
  bool KeylessReported(const std::string& keyText) const;
  void ReportKeyless(const std::string& keyText);

  // Stops the program (debug builds) when the summary disagrees with the histories;
  // warnings: the warning boxes the run has shown.
  void CheckInvariants(const CorrectionSummary& summary, int warnings) const;

 private:
  std::map<std::int64_t, History> rows_;
  std::map<std::string, int> keyless_;  // reports by key as read
};

}  // namespace patchpav
