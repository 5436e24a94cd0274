#include "correction/RowHistories.h"

#include "engine/core/DebugCheck.h"

namespace patchpav {

const RowHistories::History* RowHistories::Find(std::int64_t key) const {
  const auto found = rows_.find(key);
  return found == rows_.end() ? nullptr : &found->second;
}

bool RowHistories::GivenUp(std::int64_t key) const {
  const History* history = Find(key);
  return history != nullptr && history->state == State::GivenUp;
}

void RowHistories::Written(std::int64_t key, int negativeAmounts) {
  History& history = rows_[key];
  history.state = State::Written;
  history.negativeAmounts = negativeAmounts;
  ++history.writes;
}

void RowHistories::PassedOver(std::int64_t key, int negativeAmounts) {
  History& history = rows_[key];
  history.state = State::PassedOver;
  history.negativeAmounts = negativeAmounts;
}

void RowHistories::GiveUp(std::int64_t key) {
  History& history = rows_[key];
  history.state = State::GivenUp;
  history.negativeAmounts = 0;
  ++history.reports;
}

bool RowHistories::KeylessReported(const std::string& keyText) const {
  return keyless_.contains(keyText);
}

void RowHistories::ReportKeyless(const std::string& keyText) { ++keyless_[keyText]; }

void RowHistories::CheckInvariants(const CorrectionSummary& summary, int warnings) const {
  long long writes = 0;
  long long reports = 0;
  for (const auto& [key, history] : rows_) {
    const std::string row = "correction run, row " + std::to_string(key) + ": ";
    PATCHPAV_CHECK(history.writes <= summary.sweeps,
                   row + std::to_string(history.writes) + " writes in " +
                       std::to_string(summary.sweeps) + " sweeps");
    PATCHPAV_CHECK((history.state == State::GivenUp) == (history.reports > 0),
                   row + std::to_string(history.reports) + " reports, " +
                       (history.state == State::GivenUp ? "given up" : "not given up"));
    PATCHPAV_CHECK(history.state != State::Written || history.writes > 0,
                   row + "known as written, never written");
    writes += history.writes;
    reports += history.reports;
  }
  for (const auto& [keyText, count] : keyless_) reports += count;
  const std::string counts = "correction run after " + std::to_string(summary.sweeps) +
                             " sweeps: the summary counts " + std::to_string(summary.rowsWritten) +
                             " rows written and " + std::to_string(summary.rowsLeft) +
                             " left; the rows' histories " + std::to_string(writes) +
                             " writes and " + std::to_string(reports) + " reports; " +
                             std::to_string(warnings) + " warnings shown";
  PATCHPAV_CHECK(summary.rowsWritten == writes, counts);
  PATCHPAV_CHECK(summary.rowsLeft == reports && reports == warnings, counts);
}

}  // namespace patchpav
