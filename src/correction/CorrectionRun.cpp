#include "correction/CorrectionRun.h"

#include <array>
#include <exception>
#include <map>
#include <optional>
#include <vector>

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
  void WriteFailed(const JournalRow&, const std::string&) override {}
  void WriteUncertain(const JournalRow&, const std::string&) override {}
  void Finish() override {}
};

class Run {
 public:
  Run(TQuery& select, TQuery& update, CorrectionHost& host, CorrectionJournal& journal)
      : select_(select), update_(update), host_(host), journal_(journal) {}

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
      CheckTableWritable();
      // On a base kept in files the check has just taken the table for writing: selected again,
      // the amounts that the journal keeps as they were before are those no other program can
      // change any more, as the copy of the table is.
      select_.Close();
      select_.Open();
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
      host_.ShowInformation(FinalMessage() + FolderLine());
      if (!recordFailure.empty()) host_.ShowWarning(recordFailure);
    }
    select_.Close();
    return summary_;
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

  // What can be known before the first write: a table that cannot be written at all is said
  // once, before any row is touched, rather than row after row.
  void CheckTableWritable() {
    try {
      update_.CheckWritable();
    } catch (const EDatabaseError& e) {
      Stop(TableWideCause(e).value_or(StopCause::Unwritable), true, select_.RecordCount(),
           e.what());
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
        // Reported in the sweep that first met it; the selection keeps finding it.
        if (histories_.KeylessReported(row.keyText)) continue;
      } else {
        if (histories_.GivenUp(*row.key)) continue;
        ++keyCounts[*row.key];
      }
      rows.push_back(row);
    }
    if (rows.empty()) return 0;
    // Rows that share a key: an UPDATE by that key would write both with the amounts of one.
    for (Row& row : rows) row.sharedKey = row.key && keyCounts[*row.key] > 1;

    ++summary_.sweeps;
    if (summary_.sweeps > 1) {
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
      ++counter;
      host_.SetProgressStatus(RowStatusText(row.keyText, counter, rows.size()));
      host_.SetGaugeProgress(static_cast<int>(counter));
      host_.ProcessMessages();
      CorrectRow(row);
    }

    host_.ShowProgress(false);
    host_.PlayAnimation(false);
    host_.ShowAnimation(false);
    host_.ProcessMessages();
    if constexpr (kDebugChecks) CheckInvariants();
    return rows.size();
  }

  void CheckInvariants() const {
    histories_.CheckInvariants(summary_, warnings_);
    PATCHPAV_CHECK(settledRows_ <= selectionRows_,
                   "correction run: " + std::to_string(settledRows_) +
                       " rows settled in a sweep of " + std::to_string(selectionRows_) +
                       " selected rows");
  }

  void CorrectRow(const Row& row) {
    if (!row.key) {
      histories_.ReportKeyless(row.keyText);
      ++summary_.rowsLeft;
      return Warn(row.keyText.empty() ? kBlankKey : row.keyText);
    }
    const std::int64_t key = *row.key;
    if (row.sharedKey) {
      histories_.GiveUp(key);
      ++summary_.rowsLeft;
      return Warn(row.keyText);
    }
    for (std::size_t i = 0; i < 7; ++i) update_.Params(i).SetAsFloat(row.amounts[i]);
    update_.Params(kKeyParameter).SetAsInteger(key);

    const int negatives = CountNegative(row.amounts);
    if (const RowHistories::History* known = histories_.Find(key)) {
      // Seen before: it must have lost a negative amount since, or it never will. This is also
      // where a write that raised no error but did not hold is caught.
      const bool progressed =
          known->state == RowHistories::State::Written && negatives < known->negativeAmounts;
      if (!progressed) return GiveUp(key);
    }

    const Redistribution r = RedistributeNegativeAmount(row.amounts);
    if (r.outcome == RedistributionOutcome::NothingNegative) {
      // The selection and the reading disagree: passed over without a word this time.
      histories_.PassedOver(key, negatives);
      return;
    }
    if (r.outcome == RedistributionOutcome::NotFinite) return GiveUp(key);

    // Amounts the rule did not change come out as they went in, so this sets only the changed
    // parameters to new values.
    for (std::size_t i = 0; i < 7; ++i) update_.Params(i).SetAsFloat(r.corrected[i]);
    const JournalRow entry = JournalEntry(row, key, r.corrected);
    if (!writing_) {
      journal_.BeginWrites();
      writing_ = true;
    }
    journal_.WriteAhead(entry);
    try {
      // The count the server gives back is no verdict: -1 under SET NOCOUNT ON, a trigger's own
      // count with a trigger. Only an error is a failed write; a write that did not hold is
      // found again by the next selection, with the amounts it had.
      update_.ExecSQL();
    } catch (const std::exception& e) {
      if (WriteMayHaveHappened(e)) {
        journal_.WriteUncertain(entry, e.what());
      } else {
        journal_.WriteFailed(entry, e.what());
      }
      return WriteFailed(key, e);
    }
    ++summary_.rowsWritten;
    if (CountNegative(r.corrected) == 0) ++settledRows_;
    histories_.Written(key, negatives);
  }

  // A failure that every later write would meet too ends the run at once; so do the first
  // writes of a run when they all fail. Any other failure is the row's own.
  void WriteFailed(std::int64_t key, const std::exception& error) {
    ++failedWrites_;
    std::optional<StopCause> cause = TableWideCause(error);
    if (!cause && summary_.rowsWritten == 0 && failedWrites_ >= kFailuresBeforeStop) {
      cause = StopCause::RepeatedFailures;
    }
    if (cause) Stop(*cause, false, selectionRows_ - settledRows_, error.what());
    GiveUp(key);
  }

  // Ends the run with one error box: rowsNotCorrected rows of the selection still hold a
  // negative amount, and nothing more is written.
  [[noreturn]] void Stop(StopCause cause, bool beforeFirstWrite, std::size_t rowsNotCorrected,
                         const std::string& detail) {
    throw ECorrectionStopped(
        StoppedRunMessage(cause, beforeFirstWrite, rowsNotCorrected, detail) + FolderLine(),
        rowsNotCorrected);
  }

  // Names the folder of the backup and the journal in a box that ends a run that wrote.
  std::string FolderLine() const {
    const std::string folder = journal_.FolderText();
    return folder.empty() ? std::string() : "\rSauvegarde et journal : " + folder;
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
  // shown is parameter 7 as text, as the row's UPDATE would have used it.
  void GiveUp(std::int64_t key) {
    histories_.GiveUp(key);
    ++summary_.rowsLeft;
    Warn(update_.Params(kKeyParameter).AsString());
  }

  void Warn(const std::string& key) {
    ++warnings_;
    host_.ShowWarning(kWriteFailed + key + kWriteFailedEnd);
  }

  void EndSweeping() {
    host_.SetMainWindowCursor(CorrectionHost::Cursor::Default);
    host_.EnableMainWindow(true);
    host_.ProcessMessages();
  }

  std::string FinalMessage() const {
    if (summary_.rowsLeft == 0) return kFinished;
    return "La correction de la comptabilité est terminée, mais " +
           std::to_string(summary_.rowsLeft) +
           (summary_.rowsLeft == 1
                ? " enregistrement n'a pas pu être corrigé et devra l'être"
                : " enregistrements n'ont pas pu être corrigés et devront l'être") +
           " manuellement par un technicien de Klinova. Le programme va être fermé.";
  }

  TQuery& select_;
  TQuery& update_;
  CorrectionHost& host_;
  CorrectionJournal& journal_;
  bool writing_ = false;  // the journal has begun: the backup is made
  RowHistories histories_;
  CorrectionSummary summary_;
  int warnings_ = 0;  // warning boxes shown
  int failedWrites_ = 0;
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
                                CorrectionJournal& journal) {
  SetLines(select, kSelectNegativeRowsLines, std::size(kSelectNegativeRowsLines));
  SetLines(update, kUpdateRowLines, std::size(kUpdateRowLines));
  Run run(select, update, host, journal);
  CorrectionSummary summary;
  try {
    summary = run.Execute();
  } catch (const ECorrectionStopped& e) {
    // The stop box is the last one the user sees: it also tells what became of the undo script.
    const std::string recordFailure = run.FinishJournal();
    run.RestoreWindow();
    if (recordFailure.empty()) throw;
    throw ECorrectionStopped(e.what() + std::string("\r\r") + recordFailure, e.RowsNotCorrected());
  } catch (...) {
    run.FinishJournal();
    run.RestoreWindow();
    throw;
  }
  host.PressClose();
  return summary;
}

}  // namespace patchpav
