#include "correction/JournalText.h"

#include <algorithm>
#include <charconv>

namespace patchpav {
namespace {

const char kLineEnd[] = "\r\n";

std::string Cell(const std::optional<double>& amount) {
  return amount ? ExactNumber(*amount, ',') : std::string();
}

// A cell holding the separator, a quote or a line break is quoted, its quotes doubled, so that an
// error's text stays one cell of one line.
std::string TextCell(const std::string& text) {
  if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + '"';
}

std::string Line(std::int64_t key, const JournalAmounts& before, const JournalAmounts& after,
                 const std::string& outcome) {
  std::string line = std::to_string(key);
  for (const auto& amount : before) line += ';' + Cell(amount);
  for (const auto& amount : after) line += ';' + Cell(amount);
  return line + ';' + TextCell(outcome) + kLineEnd;
}

}  // namespace

std::string ExactNumber(double value, char decimalSeparator) {
  char buffer[32];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  std::replace(text.begin(), text.end(), '.', decimalSeparator);
  return text;
}

std::string JournalHeader() {
  std::string line = "CPMain_ID";
  for (const char* when : {" avant", " après"}) {
    for (int i = 1; i <= 7; ++i) {
      // Appended piece by piece: "literal" + std::to_string() trips GCC 12's -Wrestrict on i686.
      line += ";MontantSS";
      line += std::to_string(i);
      line += when;
    }
  }
  return line + ";écrit" + kLineEnd;
}

std::string WrittenLine(const JournalRow& row) {
  return Line(row.key, row.before, row.after, "prévu");
}

std::string FailedLine(const JournalRow& row, const std::string& message) {
  return Line(row.key, row.before, row.before, "échec : " + message);
}

std::string NotWrittenLine(const JournalRow& row) {
  return Line(row.key, row.before, row.before, "non écrit");
}

std::string UncertainLine(const JournalRow& row, const std::string& message) {
  return Line(row.key, row.before, row.after, "issue incertaine : " + message);
}

}  // namespace patchpav
