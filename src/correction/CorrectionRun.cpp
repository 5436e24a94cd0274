#include "correction/CorrectionRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <map>
#include <optional>
#include <vector>

#include "correction/BatchSizer.h"
#include "correction/CorrectionHost.h"
#include "correction/CorrectionJournal.h"
#include "correction/RedistributeNegativeAmount.h"
#include "correction/RowHistories.h"
#include "correction/RowKey.h"
#include "correction/UncertainWrite.h"
#include "correction/WriteFailure.h"
#include "engine/Query.h"
#include "engine/core/DebugCheck.h"
#include "engine/core/Errors.h"

namespace patchpav {

const char* const kSelectNegativeRowsLines[12] = {
    "SELECT ",
    "  *",
    "FROM CPMAIN",
    "WHERE ",
    "  MontantSS1 < 0",
    "  OR MontantSS2 < 0",
    "  OR MontantSS3 < 0",
    "  OR MontantSS4 < 0",
    "  OR MontantSS5 < 0",
    "  OR MontantSS6 < 0",
    "  OR MontantSS7 < 0",
    "ORDER BY CPMain_ID",
};

const char* const kUpdateRowLines[10] = {
    "UPDATE CPMain",
    "SET ",
    "  MontantSS1 = :montantSS1,",
    "  MontantSS2 = :montantSS2,",
    "  MontantSS3 = :montantSS3,",
    "  MontantSS4 = :montantSS4,",
    "  MontantSS5 = :montantSS5,",
    "  MontantSS6 = :montantSS6,",
    "  MontantSS7 = :montantSS7",
    "Where CPMain_ID = :cpmain_id",
};

namespace {

const char kSearching[] = "Recherche des enregistrements \"-18 €\"...";
const char kNothingToCorrect[] =
    "Aucun enregistrement a corriger n'a été trouvé. Le programme va être fermé.";
const char kFinished[] =
    "La correction de la comptabilité est terminée. Le programme va être fermé.";
const char kWriteFailed[] = "Erreur lors de la modification de l'enregistrement CPMAIN_ID=";
const char kWriteFailedEnd[] =
    ". Cette modification devra être effectuée manuellement par un technicien de Klinova.";
const char* const kAmountFields[7] = {"MontantSS1", "MontantSS2", "MontantSS3", "MontantSS4",
                                      "MontantSS5", "MontantSS6", "MontantSS7"};
const char kKeyField[] = "CPMain_ID";
constexpr std::size_t kKeyParameter = 7;
// How a row without a key shows in the warning, where the key would stand.
const char kBlankKey[] = "(vide)";

void SetLines(TQuery& query, const char* const* lines, std::size_t count) {
  query.Close();
  query.SQL().Clear();
  for (std::size_t i = 0; i < count; ++i) query.SQL().Add(lines[i]);
}

int CountNegative(const Amounts& amounts) {
  int n = 0;
  for (double a : amounts) n += a < 0 ? 1 : 0;
  return n;
}

// For callers that keep no record of the writes.
class NoJournal final : public CorrectionJournal {
 public:
  void BeginWrites() override {}
  void WriteAhead(const JournalRow&) override {}
  void Flush() override {}
  void WriteFailed(const JournalRow&, const std::string&) override {}
  void WriteUncertain(const JournalRow&, const std::string&) override {}
  void NotWritten(const JournalRow&) override {}
  void Finish() override {}
};

// Batches. A sweep's rows are handled in batches of at most sizer_.Rows() rows. Planning a batch
// decides what each of its rows gets (Decide) and gives the journal the line of every write it
// will make, then flushes the journal; the rows are then handled one by one, each with its status
// line and gauge step, and the base is flushed once the batch is done, or earlier when its work has
// taken limits_.work (the rows left keep their lines, already on the disk, and go on as the next
// batch). The size starts at limits_.rows; the time of a batch's flushes and of its work, on the
// run's clock, tells the sizer whether the next batch should be larger (a slow disk: a flush costs
// milliseconds while a row's work costs microseconds) or back towards the first size. The time
// limit holds whatever the size, so the base is flushed at least that often and the dialog stays
// live; a killed run can leave at most one batch of planned lines (limits_.maxRows) whose writes
// did not happen. Invariants:
//  1. No UPDATE runs before the journal's Flush of its batch has returned (batchJournaled_).
//  2. A row's plan depends only on the row and on what earlier sweeps did to it (a key appears
//     once in a sweep), so deciding a batch ahead decides what deciding row by row would.
//  3. A Write plan is marked done once its UPDATE has run or failed; after a failure that ends
//     the run, the plans of the open batch not done are the writes reported NotWritten.
//  4. At the end of a sweep no batch is open: every write of the sweep has been flushed.
class Run {
 public:
  Run(TQuery& select, TQuery& update, CorrectionHost& host, CorrectionJournal& journal,
      const WriteBatchLimits& limits)
      : select_(select),
        update_(update),
        host_(host),
        journal_(journal),
        limits_(limits),
        sizer_(limits.rows, limits.maxRows) {}

  CorrectionSummary Execute() {
    host_.EnableMainWindow(false);
    host_.SetMainWindowCursor(CorrectionHost::Cursor::Hourglass);
    host_.SetProgressStatus(kSearching);
    host_.ShowGauge(false);
    host_.ShowProgress(true);
    host_.ProcessMessages();
    select_.Open();

    if (select_.RecordCount() < 1) {
      host_.EnableMainWindow(true);
      host_.ShowProgress(false);
      host_.ProcessMessages();
      host_.ShowInformation(kNothingToCorrect);
    } else {
      // On a base kept in files the check has just taken the table for writing: selected again,
      // the amounts that the journal keeps as they were before are those no other program can
      // change any more, as the copy of the table is. A server's table is not held: selecting
      // again would only cost a round trip over every row.
      if (CheckTableWritable()) {
        select_.Close();
        select_.Open();
      }
      // Sweeps until the selection made afresh is empty, or holds only rows given up.
      while (Sweep() > 0) {
        select_.Close();
        select_.Open();
        if (select_.RecordCount() < 1) break;
      }
      // The corrections are made whatever becomes of the record: the user learns the outcome
      // first, then what went wrong with the record.
      std::string recordFailure;
      try {
        journal_.Finish();
      } catch (const std::exception& e) {
        recordFailure = e.what();
      }
      EndSweeping();
      const std::vector<std::string>& reports = histories_.Reports();
      if (reports.size() > kWarningsOneByOne) {
        host_.ShowWarning(
            UncorrectedRowsMessage(histories_.RowsCorrected(), reports, FolderLines()));
      }
      std::string final = FinalMessage();
      for (const std::string& line : FolderLines()) final += "\r" + line;
      host_.ShowInformation(final);
      if (!recordFailure.empty()) host_.ShowWarning(recordFailure);
    }
    select_.Close();
    return histories_.Summary();
  }

  // Leaves the window usable after a failure that ends the run: a stop, or a failure of the
  // selection that the run does not handle.
  void RestoreWindow() noexcept {
    try {
      host_.ShowProgress(false);
      host_.PlayAnimation(false);
      host_.ShowAnimation(false);
      host_.SetMainWindowCursor(CorrectionHost::Cursor::Default);
      host_.EnableMainWindow(true);
    } catch (...) {
      // The original failure is what the user must see.
    }
  }

  // After a failure that ends the run: the writes of the open batch that were not made are
  // recorded as such, and those that were made are put on the disk.
  void AbandonBatch() noexcept {
    try {
      if (batchJournaled_) {
        for (const Plan& plan : batch_) {
          if (plan.action == Action::Write && !plan.done) journal_.NotWritten(plan.entry);
        }
      }
    } catch (...) {
      // The original failure is what the user must see.
    }
    batch_.clear();
    try {
      update_.FlushWrites();
    } catch (...) {
      // Idem.
    }
  }

  // Closes the journal after a failure that ends the run; the journal already holds every write.
  // Gives what went wrong in closing it (the undo script not written), empty when nothing did.
  std::string FinishJournal() noexcept {
    try {
      journal_.Finish();
    } catch (const std::exception& e) {
      try {
        return e.what();
      } catch (...) {
      }
    } catch (...) {
      // The original failure is what the user must see.
    }
    return {};
  }

 private:
  struct Row {
    std::optional<std::int64_t> key;  // none: the row cannot be told apart, it is never written
    std::string keyText;
    Amounts amounts;
    std::array<bool, 7> blank{};  // amounts that hold no value (read as 0)
    bool sharedKey = false;       // another row of the selection has the same key: never written
  };

  // What a row gets, decided when its batch is planned.
  enum class Action { PassOverKeyless, ReportKeyless, GiveUpSharedKey, GiveUp, PassOver, Write };
  struct Plan {
    Action action = Action::PassOver;
    int negatives = 0;  // negative amounts as read
    Amounts corrected{};
    JournalRow entry;      // Write: the journal's line
    bool done = false;     // Write: the UPDATE has run, or failed
    bool written = false;  // Write: the UPDATE ran without an error
  };

  // What can be known before the first write: a table that cannot be written at all is said
  // once, before any row is touched, rather than row after row.
  // Gives true when the check took the table for writing.
  bool CheckTableWritable() {
    try {
      return update_.CheckWritable();
    } catch (const EDatabaseError& e) {
      Stop(TableWideCause(e).value_or(StopCause::Unwritable), true,
           {0, static_cast<std::size_t>(select_.RecordCount())}, e.what());
    }
  }

  // One pass over the current selection; gives the number of rows it handled (not skipped).
  std::size_t Sweep() {
    selectionRows_ = select_.RecordCount();
    settledRows_ = 0;
    std::vector<Row> rows;
    std::map<std::int64_t, int> keyCounts;
    for (; !select_.Eof(); select_.Next()) {
      const TField key = select_.FieldByName(kKeyField);
      Row row{RowKeyOf(key.AsValue()), key.AsString(), {}};
      for (std::size_t i = 0; i < 7; ++i) {
        const TField amount = select_.FieldByName(kAmountFields[i]);
        row.amounts[i] = amount.AsFloat();
        row.blank[i] = amount.IsNull();
      }
      if (!row.key) {
        // Settled in the sweep that first met it; the selection keeps finding it.
        if (histories_.KeylessKnown(row.keyText)) continue;
      } else {
        if (histories_.GivenUp(*row.key)) continue;
        ++keyCounts[*row.key];
      }
      rows.push_back(row);
    }
    if (rows.empty()) return 0;
    // Rows that share a key: an UPDATE by that key would write both with the amounts of one.
    for (Row& row : rows) row.sharedKey = row.key && keyCounts[*row.key] > 1;

    histories_.SweepStarted();
    if (histories_.Sweeps() > 1) {
      // A further sweep writes rows again: the window stays closed to input and the dialog shows
      // how far it has come, as in the first sweep.
      host_.SetMainWindowCursor(CorrectionHost::Cursor::Hourglass);
      host_.ShowProgress(true);
    }
    host_.PlayAnimation(true);
    host_.ShowAnimation(true);
    host_.SetGaugeMax(static_cast<int>(rows.size()));
    host_.SetGaugeProgress(0);
    host_.ShowGauge(true);
    host_.ProcessMessages();

    std::size_t counter = 0;
    for (const Row& row : rows) {
      if (batchNext_ == batch_.size()) PlanBatch(rows, counter);
      ++counter;
      host_.SetProgressStatus(RowStatusText(row.keyText, counter, rows.size()));
      host_.SetGaugeProgress(static_cast<int>(counter));
      host_.ProcessMessages();
      CorrectRow(row, batch_[batchNext_++]);
      if (batchNext_ == batch_.size()) {
        FlushBatch();
        sizer_.BatchDone(batch_.size(), batchFlushing_, batchWork_);
        batch_.clear();
        batchNext_ = 0;
      } else if (Now() - batchStart_ >= limits_.work) {
        FlushBatch();
      }
    }

    host_.ShowProgress(false);
    host_.PlayAnimation(false);
    host_.ShowAnimation(false);
    host_.ProcessMessages();
    if constexpr (kDebugChecks) CheckInvariants();
    return rows.size();
  }

  std::chrono::steady_clock::time_point Now() const {
    return limits_.clock ? limits_.clock() : std::chrono::steady_clock::now();
  }

  // Decides the next rows of the sweep, from rows[from], and puts the lines of their writes on
  // the disk before any of them is made.
  void PlanBatch(const std::vector<Row>& rows, std::size_t from) {
    batch_.clear();
    batchNext_ = 0;
    unflushedFrom_ = 0;
    batchJournaled_ = false;
    batchFlushing_ = {};
    batchWork_ = {};
    batchStart_ = Now();  // deciding the rows and writing their lines is the batch's work too
    const std::size_t end = from + std::min(rows.size() - from, sizer_.Rows());
    bool writes = false;
    for (std::size_t i = from; i < end; ++i) {
      batch_.push_back(Decide(rows[i]));
      writes = writes || batch_.back().action == Action::Write;
    }
    if (writes) {
      if (!writing_) {
        journal_.BeginWrites();
        writing_ = true;
        batchStart_ = Now();  // the backup is no batch's work
      }
      batchJournaled_ = true;
      for (const Plan& plan : batch_) {
        if (plan.action == Action::Write) journal_.WriteAhead(plan.entry);
      }
      const auto flushStart = Now();
      batchWork_ += flushStart - batchStart_;
      journal_.Flush();
      batchStart_ = Now();
      batchFlushing_ += batchStart_ - flushStart;
    }
  }

  // Puts the batch's writes on the disk. A flush that fails concerns the table, not a row: every
  // later batch would meet it too, so the run stops.
  // The writes made since the last flush may or may not have reached the disk then: each keeps
  // its undo, and its line says so.
  void FlushBatch() {
    const auto flushStart = Now();
    batchWork_ += flushStart - batchStart_;
    try {
      update_.FlushWrites();
    } catch (const EDatabaseError& e) {
      for (std::size_t i = unflushedFrom_; i < batchNext_; ++i) {
        if (batch_[i].written) journal_.WriteUncertain(batch_[i].entry, e.what());
      }
      Stop(TableWideCause(e).value_or(StopCause::Unwritable), false,
           {histories_.RowsCorrected(), selectionRows_ - settledRows_}, e.what());
    }
    unflushedFrom_ = batchNext_;
    batchStart_ = Now();
    batchFlushing_ += batchStart_ - flushStart;
  }

  void CheckInvariants() const {
    PATCHPAV_CHECK(batch_.empty(), "correction run: a batch of " + std::to_string(batch_.size()) +
                                       " rows is still open at the end of a sweep");
    histories_.CheckInvariants();
    PATCHPAV_CHECK(settledRows_ <= selectionRows_,
                   "correction run: " + std::to_string(settledRows_) +
                       " rows settled in a sweep of " + std::to_string(selectionRows_) +
                       " selected rows");
  }

  Plan Decide(const Row& row) const {
    Plan plan;
    if (!row.key) {
      // Such a row is never written; it is worth a word only when the rule would have written it.
      plan.action =
          RedistributeNegativeAmount(row.amounts).outcome == RedistributionOutcome::NothingNegative
              ? Action::PassOverKeyless
              : Action::ReportKeyless;
      return plan;
    }
    if (row.sharedKey) {
      plan.action = Action::GiveUpSharedKey;
      return plan;
    }
    plan.negatives = CountNegative(row.amounts);
    if (const RowHistories::History* known = histories_.Find(*row.key)) {
      // Seen before: it must have lost a negative amount since, or it never will. This is also
      // where a write that raised no error but did not hold is caught.
      const bool progressed =
          known->state == RowHistories::State::Written && plan.negatives < known->negativeAmounts;
      if (!progressed) {
        plan.action = Action::GiveUp;
        return plan;
      }
    }

    const Redistribution r = RedistributeNegativeAmount(row.amounts);
    if (r.outcome == RedistributionOutcome::NothingNegative) {
      // The selection and the reading disagree: passed over without a word this time.
      plan.action = Action::PassOver;
      return plan;
    }
    if (r.outcome == RedistributionOutcome::NotFinite) {
      plan.action = Action::GiveUp;
      return plan;
    }
    plan.action = Action::Write;
    plan.corrected = r.corrected;
    plan.entry = JournalEntry(row, *row.key, r.corrected);
    return plan;
  }

  void CorrectRow(const Row& row, Plan& plan) {
    if (plan.action == Action::PassOverKeyless) return histories_.PassOverKeyless(row.keyText);
    if (plan.action == Action::ReportKeyless) {
      const std::string shown = row.keyText.empty() ? kBlankKey : row.keyText;
      return Warn(histories_.ReportKeyless(row.keyText, shown), shown);
    }
    const std::int64_t key = *row.key;
    if (plan.action == Action::GiveUpSharedKey) return GiveUp(key);
    for (std::size_t i = 0; i < 7; ++i) update_.Params(i).SetAsFloat(row.amounts[i]);
    update_.Params(kKeyParameter).SetAsInteger(key);

    if (plan.action == Action::GiveUp) return GiveUp(key);
    if (plan.action == Action::PassOver) return histories_.PassedOver(key, plan.negatives);

    // Amounts the rule did not change come out as they went in, so this sets only the changed
    // parameters to new values.
    for (std::size_t i = 0; i < 7; ++i) update_.Params(i).SetAsFloat(plan.corrected[i]);
    plan.done = true;
    try {
      ExecuteUpdate();
    } catch (const std::exception& e) {
      if (WriteMayHaveHappened(e)) {
        journal_.WriteUncertain(plan.entry, e.what());
      } else {
        journal_.WriteFailed(plan.entry, e.what());
      }
      return WriteFailed(key, e);
    }
    plan.written = true;
    const int negativesLeft = CountNegative(plan.corrected);
    if (negativesLeft == 0) ++settledRows_;
    histories_.Written(key, plan.negatives, negativesLeft);
  }

  // Runs the UPDATE, once more when the server gave it up to end a deadlock: the row's record in
  // the journal stands for both attempts, as they write the same amounts.
  void ExecuteUpdate() {
    // The count the server gives back is no verdict: -1 under SET NOCOUNT ON, a trigger's own
    // count with a trigger. Only an error is a failed write; a write that did not hold is found
    // again by the next selection, with the amounts it had.
    try {
      update_.ExecSQL();
    } catch (const std::exception& e) {
      if (!WorthRetrying(e)) throw;
      update_.ExecSQL();
    }
  }

  // A failure that every later write would meet too ends the run at once. Any other failure is
  // the row's own, however many rows fail alike: each is left for a technician.
  void WriteFailed(std::int64_t key, const std::exception& error) {
    if (const std::optional<StopCause> cause = TableWideCause(error)) {
      Stop(*cause, false, {histories_.RowsCorrected(), selectionRows_ - settledRows_},
           error.what());
    }
    GiveUp(key);
  }

  // Ends the run with one error box; nothing more is written.
  [[noreturn]] void Stop(StopCause cause, bool beforeFirstWrite, RowCounts counts,
                         const std::string& detail) {
    throw ECorrectionStopped(
        StoppedRunMessage(cause, beforeFirstWrite, counts, detail, FolderLines()), counts.corrected,
        counts.notCorrected);
  }

  // Names the folder of the backup and the journal in a box that ends a run that wrote.
  std::vector<std::string> FolderLines() const {
    const std::string folder = journal_.FolderText();
    if (folder.empty()) return {};
    return {"Sauvegarde et journal : " + folder};
  }

  static JournalRow JournalEntry(const Row& row, std::int64_t key, const Amounts& corrected) {
    JournalRow entry{key, {}, {}};
    for (std::size_t i = 0; i < 7; ++i) {
      if (!row.blank[i]) entry.before[i] = row.amounts[i];
      entry.after[i] = corrected[i];
    }
    return entry;
  }

  // Reports the row once for a technician and leaves it alone for the rest of the run. The key
  // shown is the one the row's UPDATE uses, in decimal digits.
  void GiveUp(std::int64_t key) {
    const std::string shown = std::to_string(key);
    Warn(histories_.GiveUp(key, shown), shown);
  }

  // The first reports of a run get a box each; the others are counted, for the box at the end.
  void Warn(std::size_t report, const std::string& key) {
    if (report <= kWarningsOneByOne) host_.ShowWarning(kWriteFailed + key + kWriteFailedEnd);
  }

  void EndSweeping() {
    host_.SetMainWindowCursor(CorrectionHost::Cursor::Default);
    host_.EnableMainWindow(true);
    host_.ProcessMessages();
  }

  std::string FinalMessage() const {
    const std::size_t rowsLeft = histories_.Reports().size();
    if (rowsLeft == 0) return kFinished;
    return "La correction de la comptabilité est terminée, mais " + std::to_string(rowsLeft) +
           (rowsLeft == 1 ? " enregistrement n'a pas pu être corrigé et devra l'être"
                          : " enregistrements n'ont pas pu être corrigés et devront l'être") +
           " manuellement par un technicien de Klinova. Le programme va être fermé.";
  }

  TQuery& select_;
  TQuery& update_;
  CorrectionHost& host_;
  CorrectionJournal& journal_;
  WriteBatchLimits limits_;
  bool writing_ = false;  // the journal has begun: the backup is made
  // The open batch: its rows' plans, the next to handle, whether its lines went to the journal,
  // and when its work (or its last flush) started.
  std::vector<Plan> batch_;
  std::size_t batchNext_ = 0;
  std::size_t unflushedFrom_ = 0;  // the first plan whose write the base has not flushed
  bool batchJournaled_ = false;
  std::chrono::steady_clock::time_point batchStart_;
  // The open batch's time on the run's clock: in its flushes, and in its work between them.
  BatchSizer::Duration batchFlushing_{};
  BatchSizer::Duration batchWork_{};
  BatchSizer sizer_;
  // The tally: the summary and the warnings are read from it.
  RowHistories histories_;
  std::size_t selectionRows_ = 0;  // rows of the current selection
  std::size_t settledRows_ = 0;    // rows of the current sweep written with no negative left
};

}  // namespace

std::string RowStatusText(const std::string& key, std::size_t counter, std::size_t total) {
  return "Correction de l'enregistrement comptable n°" + key + " (" + std::to_string(counter) +
         "/" + std::to_string(total) + ")";
}

CorrectionSummary RunCorrection(TQuery& select, TQuery& update, CorrectionHost& host) {
  NoJournal journal;
  return RunCorrection(select, update, host, journal);
}

CorrectionSummary RunCorrection(TQuery& select, TQuery& update, CorrectionHost& host,
                                CorrectionJournal& journal, const WriteBatchLimits& limits) {
  SetLines(select, kSelectNegativeRowsLines, std::size(kSelectNegativeRowsLines));
  SetLines(update, kUpdateRowLines, std::size(kUpdateRowLines));
  Run run(select, update, host, journal, limits);
  CorrectionSummary summary;
  try {
    summary = run.Execute();
  } catch (const ECorrectionStopped& e) {
    // The stop box is the last one the user sees: it also tells what became of the undo script.
    run.AbandonBatch();
    const std::string recordFailure = run.FinishJournal();
    run.RestoreWindow();
    if (recordFailure.empty()) throw;
    throw ECorrectionStopped(e.what() + std::string("\r\r") + recordFailure, e.RowsCorrected(),
                             e.RowsNotCorrected());
  } catch (...) {
    run.AbandonBatch();
    run.FinishJournal();
    run.RestoreWindow();
    throw;
  }
  host.PressClose();
  return summary;
}

}  // namespace patchpav
