#pragma once

// The local driver ("STANDARD" aliases): a directory of Paradox tables queried with the local
// SQL dialect.
//
// Parameters: PATH, the directory; DEFAULT DRIVER, which must be PARADOX; ENABLE BCD, accepted
// for compatibility (BCD fields always read as floats); LANGDRIVER, the language driver that
// gives the code page of text fields of a table whose header names none (see
// LanguageDriverCodePage).

#include <memory>
#include <optional>
#include <string>

#include "engine/core/Driver.h"
#include "engine/sql/TableCatalog.h"

namespace patchpav::sql {

// A connection keeps every table it opened until it is destroyed, so a table's key map is built
// once per connection, not once per statement.
class LocalConnection : public DriverConnection {
 public:
  LocalConnection(const std::filesystem::path& directory, std::optional<int> defaultCodePage,
                  FileSystem& files);
  std::unique_ptr<PreparedStatement> Prepare(const std::string& sql) override;
  std::vector<std::filesystem::path> CopyTableFiles(const std::string& table,
                                                    const std::filesystem::path& folder) override;
  void Flush() override;

 private:
  std::shared_ptr<TableCatalog> catalog_;
};

class LocalDriver : public Driver {
 public:
  LocalDriver();
  // Tables reached through another file system (tests make it refuse or fail), which must
  // outlive every connection of the driver.
  explicit LocalDriver(FileSystem& files) : files_(files) {}

  std::string Type() const override { return "STANDARD"; }
  DriverParams DefaultParams() const override;
  std::unique_ptr<DriverConnection> Connect(const DriverParams& params) override;

 private:
  FileSystem& files_;
};

// The code page of a language driver name, as tables name their own (paradox/LanguageDriver.h):
// "intl" 437, "ascii" and "intl850" 850, "ANSIINTL" and "BLLT1FR0" 1252... An empty name is
// nullopt (the table layer's default); an unknown one, or one whose code page we cannot decode,
// an EDatabaseError.
std::optional<int> LanguageDriverCodePage(const std::string& name);

}  // namespace patchpav::sql
