#pragma once

// The tables that one connection of the local driver has opened, by name.
//
// States of an entry: opened read-only by the first statement that names the table; reopened
// for writing the first time an UPDATE runs on it, and kept so until the connection and every
// statement prepared on it are gone. Invariants:
//   1. A table file is open at most once per connection, so its key map is built once.
//   2. An entry's fields never change while statements are bound to them: a reopened file whose
//      fields differ from those first seen is refused.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/drivers/paradox/ParadoxTable.h"

namespace patchpav::sql {

class TableCatalog {
 public:
  struct Entry {
    std::filesystem::path file;
    std::unique_ptr<paradox::Table> table;  // null after a failed reopen; opened again on use
    paradox::Table::Access access = paradox::Table::Access::ReadOnly;
    paradox::TableSchema schema;  // the fields as first opened, which statements are bound to
  };

  // defaultCodePage: for tables whose header names none; nullopt keeps the table layer's own.
  // files: the file system the tables are reached through, which must outlive the catalog.
  TableCatalog(std::filesystem::path directory, std::optional<int> defaultCodePage,
               FileSystem& files);

  // The table a statement names: "CPMain", "CPMAIN", "cpmain.db" all name CPMAIN.DB of the
  // directory. An unknown name is an EDatabaseError "Table inconnue : <name>".
  std::shared_ptr<Entry> Find(std::string_view name);

  const paradox::Table& ForReading(Entry& entry);
  paradox::Table& ForWriting(Entry& entry);
  // Flushes the writes of every table opened for writing (Table::Flush).
  void Flush();
  // The file system the tables are reached through (a backup copy of them goes through it too).
  FileSystem& Files() const { return files_; }

 private:
  std::filesystem::path Locate(std::string_view name) const;
  void OpenEntry(Entry& entry, paradox::Table::Access access);

  std::filesystem::path directory_;
  std::optional<int> defaultCodePage_;
  FileSystem& files_;
  std::map<std::string, std::shared_ptr<Entry>> entries_;  // by upper-case file name
};

}  // namespace patchpav::sql
