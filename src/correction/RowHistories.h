#pragma once

// What the correction run remembers of the rows it has handled, between sweeps. It is the run's
// one tally: the summary the run gives and the warnings it shows are read from here, so they
// cannot disagree with what happened to the rows.
//
// Invariants, checked after each sweep in debug builds (CheckInvariants):
//  1. No row is written more often than there were sweeps (once per sweep at most).
//  2. A row is given up exactly when it was reported; a row known as written was written.
//  3. The reports, in the order made, are the reports of the rows given up and of the rows
//     without a key, one per report.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "correction/CorrectionRun.h"

namespace patchpav {

class RowHistories {
 public:
  enum class State { Written, PassedOver, GivenUp };
  struct History {
    State state = State::PassedOver;
    int negativeAmounts = 0;  // as read when the row was last handled
    int negativesLeft = 0;    // in the amounts of its last successful write
    int writes = 0;           // successful writes
    int reports = 0;          // times reported for a technician (once per row with the key)
  };

  void SweepStarted() { ++sweeps_; }
  int Sweeps() const { return sweeps_; }

  // The row's history by key; nullptr for a row not handled yet.
  const History* Find(std::int64_t key) const;
  bool GivenUp(std::int64_t key) const;
  // negativesLeft: the negative amounts of what was written (0: the row is corrected).
  void Written(std::int64_t key, int negativeAmounts, int negativesLeft);
  void PassedOver(std::int64_t key, int negativeAmounts);
  // Reported for a technician under keyText and left alone for the rest of the run; gives the
  // number of the report in the run (from 1).
  std::size_t GiveUp(std::int64_t key, const std::string& keyText);

  // Rows without a usable key, known by their key as read. One that the rule would write is
  // reported; one that it would not is passed over without a word. Either way it is then
  // skipped: the selection keeps finding it.
  bool KeylessKnown(const std::string& keyText) const;
  std::size_t ReportKeyless(const std::string& keyText, const std::string& shownAs);
  void PassOverKeyless(const std::string& keyText);

  // The keys of the rows reported for a technician, as shown, in the order reported.
  const std::vector<std::string>& Reports() const { return reports_; }
  // Rows written whose last write left no negative amount.
  std::size_t RowsCorrected() const;
  CorrectionSummary Summary() const;

  // Stops the program (debug builds) when the histories break an invariant above.
  void CheckInvariants() const;

 private:
  int sweeps_ = 0;
  std::map<std::int64_t, History> rows_;
  std::map<std::string, int> keyless_;  // reports by key as read (0: passed over)
  std::vector<std::string> reports_;
};

}  // namespace patchpav
