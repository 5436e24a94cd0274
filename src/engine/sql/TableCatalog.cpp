#include "engine/sql/TableCatalog.h"

#include <system_error>
#include <vector>

#include "engine/core/AsciiCase.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"

namespace patchpav::sql {
namespace {

using paradox::Table;

bool SameFields(const paradox::TableSchema& a, const paradox::TableSchema& b) {
  if (a.fields.size() != b.fields.size() || a.keyFieldCount != b.keyFieldCount) return false;
  for (std::size_t i = 0; i < a.fields.size(); ++i) {
    const paradox::FieldDef& x = a.fields[i];
    const paradox::FieldDef& y = b.fields[i];
    if (x.name != y.name || x.type != y.type || x.size != y.size || x.offset != y.offset) {
      return false;
    }
  }
  return true;
}

}  // namespace

TableCatalog::TableCatalog(std::filesystem::path directory, std::optional<int> defaultCodePage,
                           FileSystem& files)
    : directory_(std::move(directory)), defaultCodePage_(defaultCodePage), files_(files) {}

std::filesystem::path TableCatalog::Locate(std::string_view name) const {
  const auto unknown = [&] { return EDatabaseError("Table inconnue : " + std::string(name)); };
  std::string base(name);
  if (base.size() > 3 && EqualsIgnoreCase(base.substr(base.size() - 3), ".DB")) {
    base.resize(base.size() - 3);
  }
  if (base.empty() || base.find_first_of("/\\:") != std::string::npos) throw unknown();
  const std::string wanted = base + ".DB";
  std::vector<std::filesystem::path> matches;
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory_, error), end; !error && it != end;
       it.increment(error)) {
    if (EqualsIgnoreCase(PathToUtf8(it->path().filename()), wanted)) matches.push_back(it->path());
  }
  if (error) {
    throw EDatabaseError("Impossible de lire le répertoire " + PathToUtf8(directory_) + " : " +
                         error.message());
  }
  if (matches.empty()) throw unknown();
  // Only a case-sensitive file system can hold two; reading the wrong one would be worse than
  // refusing.
  if (matches.size() > 1) {
    throw EDatabaseError("Table ambiguë : " + std::string(name) +
                         " (plusieurs fichiers ne diffèrent que par la casse)");
  }
  return matches.front();
}

std::shared_ptr<TableCatalog::Entry> TableCatalog::Find(std::string_view name) {
  const std::filesystem::path file = Locate(name);
  const std::string key = ToUpperAscii(PathToUtf8(file.filename()));
  if (auto found = entries_.find(key); found != entries_.end()) return found->second;
  auto entry = std::make_shared<Entry>();
  entry->file = file;
  OpenEntry(*entry, Table::Access::ReadOnly);
  entry->schema = entry->table->Schema();
  entries_.emplace(key, entry);
  return entry;
}

void TableCatalog::OpenEntry(Entry& entry, Table::Access access) {
  // The file is closed before it is opened again: on Windows our own read-only handle would
  // otherwise stand in the way of the write access.
  entry.table.reset();
  entry.table =
      Table::Open(entry.file, access, defaultCodePage_.value_or(paradox::kDefaultCodePage), files_);
  entry.access = access;
  if (!entry.schema.fields.empty() && !SameFields(entry.schema, entry.table->Schema())) {
    entry.table.reset();
    throw EDatabaseError("La structure de la table " + PathToUtf8(entry.file.stem()) +
                         " a changé depuis la préparation de la requête");
  }
}

const Table& TableCatalog::ForReading(Entry& entry) {
  if (!entry.table) OpenEntry(entry, entry.access);
  return *entry.table;
}

Table& TableCatalog::ForWriting(Entry& entry) {
  if (!entry.table || entry.access != Table::Access::ReadWrite) {
    OpenEntry(entry, Table::Access::ReadWrite);
  }
  return *entry.table;
}

void TableCatalog::Flush() {
  for (const auto& [name, entry] : entries_) {
    if (entry->table && entry->access == Table::Access::ReadWrite) entry->table->Flush();
  }
}

}  // namespace patchpav::sql
