#pragma once

// Secondary indexes (.Xnn/.Ynn, .XGn/.YGn beside a table) hold copies of the fields they index,
// ordered by them: a field that one covers must not be changed in place.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace patchpav {
class FileSystem;
}  // namespace patchpav

namespace patchpav::paradox {

class IndexedFields {
 public:
  // Why the field (1-based) may not be changed in place; nullopt when nothing covers it.
  std::optional<std::string> Refusal(int fieldNumber) const;

  void Add(int fieldNumber, const std::string& indexFile) {
    covered_.emplace(fieldNumber, indexFile);
  }
  // An index file whose header we cannot read might cover any field.
  void AddUnreadable(const std::string& indexFile) { unreadable_ = indexFile; }

 private:
  std::multimap<int, std::string> covered_;
  std::optional<std::string> unreadable_;
};

// Reads the headers of the table's .X?? files (names compared without regard to letter case).
IndexedFields FindIndexedFields(const std::filesystem::path& table, int keyFields,
                                FileSystem& files);

}  // namespace patchpav::paradox
