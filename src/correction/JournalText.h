#pragma once

#include <string>

#include "correction/CorrectionJournal.h"

namespace patchpav {

// The texts of the run's journal: a CSV file that a spreadsheet opens in French (';' between
// cells, decimal comma, CRLF line ends). The undo script's text is in UndoScript.h.

// The shortest text that reads back as exactly this double (std::to_chars), with the given
// decimal separator: 7, -18, 0.1 or 0,1, 1.5e-07.
std::string ExactNumber(double value, char decimalSeparator);

// The header line and the lines of one write, each ending with CRLF. A blank amount is an empty
// cell. WrittenLine is made before the UPDATE runs, so its last cell says the write is planned
// ("prévu"), not that it was made. FailedLine follows it when the UPDATE raised an error, and
// NotWrittenLine when the run stopped before the UPDATE ran: the amounts stay as they were read,
// and the last cell is "échec : <message>" or "non écrit". UncertainLine follows it instead of
// FailedLine when the error left unknown whether the write reached the base: the row holds the
// amounts before or those after, and the last cell is "issue incertaine : <message>".
std::string JournalHeader();
std::string WrittenLine(const JournalRow& row);
std::string FailedLine(const JournalRow& row, const std::string& message);
std::string UncertainLine(const JournalRow& row, const std::string& message);
std::string NotWrittenLine(const JournalRow& row);

}  // namespace patchpav
