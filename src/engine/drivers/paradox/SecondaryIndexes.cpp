#include "engine/drivers/paradox/SecondaryIndexes.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "engine/core/AsciiCase.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/TableHeader.h"

namespace patchpav::paradox {
namespace {

// .X followed by two characters: single-field (.X01...) and composite (.XG0...) index data files.
bool IsIndexDataFile(const std::filesystem::path& candidate, const std::string& tableStem) {
  const std::string ext = ToUpperAscii(PathToUtf8(candidate.extension()));
  return ext.size() == 4 && ext[1] == 'X' &&
         ToUpperAscii(PathToUtf8(candidate.stem())) == tableStem;
}

}  // namespace

std::optional<std::string> IndexedFields::Refusal(int fieldNumber) const {
  if (unreadable_) return "l'index secondaire " + *unreadable_ + " est illisible";
  const auto found = covered_.find(fieldNumber);
  if (found == covered_.end()) return std::nullopt;
  return "l'index secondaire " + found->second + " le contient";
}

IndexedFields FindIndexedFields(const std::filesystem::path& table, int keyFields,
                                FileSystem& files) {
  IndexedFields result;
  const std::filesystem::path directory =
      table.has_parent_path() ? table.parent_path() : std::filesystem::path(".");
  const std::string stem = ToUpperAscii(PathToUtf8(table.stem()));
  std::error_code error;
  std::filesystem::directory_iterator it(directory, error);
  if (error) return result;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::filesystem::path candidate = it->path();
    if (!IsIndexDataFile(candidate, stem)) continue;
    const std::string shown = PathToUtf8(candidate.filename());
    try {
      std::unique_ptr<TableFile> file = files.Open(candidate, OpenMode::Read);
      const std::uint64_t size = file->Size();
      std::vector<std::byte> header(
          static_cast<std::size_t>(std::min<std::uint64_t>(size, 0xFFFF)));
      file->ReadAt(0, header);
      if (header.size() < 4) throw EDatabaseError("trop court");
      header.resize(std::min<std::size_t>(header.size(),
                                          static_cast<std::size_t>(DeclaredHeaderSize(header))));
      for (const int field : IndexedFieldNumbers(header, keyFields)) result.Add(field, shown);
    } catch (const std::exception&) {
      result.AddUnreadable(shown);
    }
  }
  return result;
}

}  // namespace patchpav::paradox
