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

void RowHistories::Written(std::int64_t key, int negativeAmounts, int negativesLeft) {
  History& history = rows_[key];
  history.state = State::Written;
  history.negativeAmounts = negativeAmounts;
  history.negativesLeft = negativesLeft;
  ++history.writes;
}

void RowHistories::PassedOver(std::int64_t key, int negativeAmounts) {
  History& history = rows_[key];
  history.state = State::PassedOver;
  history.negativeAmounts = negativeAmounts;
}

std::size_t RowHistories::GiveUp(std::int64_t key, const std::string& keyText) {
  History& history = rows_[key];
  history.state = State::GivenUp;
  history.negativeAmounts = 0;
  ++history.reports;
  reports_.push_back(keyText);
  return reports_.size();
}

bool RowHistories::KeylessKnown(const std::string& keyText) const {
  return keyless_.contains(keyText);
}

std::size_t RowHistories::ReportKeyless(const std::string& keyText, const std::string& shownAs) {
  ++keyless_[keyText];
  reports_.push_back(shownAs);
  return reports_.size();
}

void RowHistories::PassOverKeyless(const std::string& keyText) { keyless_.emplace(keyText, 0); }

std::size_t RowHistories::RowsCorrected() const {
  std::size_t corrected = 0;
  for (const auto& [key, history] : rows_) {
    corrected += history.state == State::Written && history.negativesLeft == 0 ? 1 : 0;
  }
  return corrected;
}

CorrectionSummary RowHistories::Summary() const {
  CorrectionSummary summary;
  summary.sweeps = sweeps_;
  for (const auto& [key, history] : rows_) summary.rowsWritten += history.writes;
  summary.rowsCorrected = static_cast<int>(RowsCorrected());
  summary.rowsLeft = static_cast<int>(reports_.size());
  return summary;
}

void RowHistories::CheckInvariants() const {
  std::size_t reports = 0;
  for (const auto& [key, history] : rows_) {
    const std::string row = "correction run, row " + std::to_string(key) + ": ";
    PATCHPAV_CHECK(history.writes <= sweeps_, row + std::to_string(history.writes) + " writes in " +
                                                  std::to_string(sweeps_) + " sweeps");
    PATCHPAV_CHECK((history.state == State::GivenUp) == (history.reports > 0),
                   row + std::to_string(history.reports) + " reports, " +
                       (history.state == State::GivenUp ? "given up" : "not given up"));
    PATCHPAV_CHECK(history.state != State::Written || history.writes > 0,
                   row + "known as written, never written");
    reports += static_cast<std::size_t>(history.reports);
  }
  for (const auto& [keyText, count] : keyless_) reports += static_cast<std::size_t>(count);
  PATCHPAV_CHECK(reports == reports_.size(),
                 "correction run after " + std::to_string(sweeps_) + " sweeps: the rows count " +
                     std::to_string(reports) + " reports, the list of reports holds " +
                     std::to_string(reports_.size()));
}

}  // namespace patchpav
