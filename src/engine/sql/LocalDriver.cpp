#include "engine/sql/LocalDriver.h"

#include <system_error>
#include <utility>

#include "engine/core/AsciiCase.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/LanguageDriver.h"
#include "engine/drivers/paradox/TableCopy.h"
#include "engine/sql/LocalStatements.h"

namespace patchpav::sql {
namespace {

std::string ParamOr(const DriverParams& params, const std::string& name) {
  const auto found = params.find(name);
  return found == params.end() ? std::string() : found->second;
}

}  // namespace

std::optional<int> LanguageDriverCodePage(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::optional<int> codePage = paradox::LanguageDriverCodePage(name);
  if (!codePage) throw EDatabaseError("Pilote de langue inconnu : " + name);
  if (!paradox::IsSupportedCodePage(*codePage)) {
    throw EDatabaseError("Pilote de langue non pris en charge : " + name);
  }
  return codePage;
}

LocalConnection::LocalConnection(const std::filesystem::path& directory,
                                 std::optional<int> defaultCodePage, FileSystem& files)
    : catalog_(std::make_shared<TableCatalog>(directory, defaultCodePage, files)) {}

std::unique_ptr<PreparedStatement> LocalConnection::Prepare(const std::string& sql) {
  return PrepareLocalStatement(catalog_, sql);
}

std::vector<std::filesystem::path> LocalConnection::CopyTableFiles(
    const std::string& table, const std::filesystem::path& folder) {
  const std::shared_ptr<TableCatalog::Entry> entry = catalog_->Find(table);
  // Held for writing from here on: nobody else can change the files between the copy and the
  // writes that follow it.
  catalog_->ForWriting(*entry);
  return paradox::CopyTableFiles(entry->file, folder, catalog_->Files());
}

void LocalConnection::Flush() { catalog_->Flush(); }

LocalDriver::LocalDriver() : files_(SystemFileSystem()) {}

DriverParams LocalDriver::DefaultParams() const {
  return {{"PATH", ""}, {"DEFAULT DRIVER", "PARADOX"}, {"ENABLE BCD", "FALSE"}, {"LANGDRIVER", ""}};
}

std::unique_ptr<DriverConnection> LocalDriver::Connect(const DriverParams& params) {
  const std::string path = ParamOr(params, "PATH");
  if (path.empty()) {
    throw EDatabaseError("Le répertoire de la base de données n'est pas indiqué (PATH vide)");
  }
  const std::string driver = ParamOr(params, "DEFAULT DRIVER");
  if (!driver.empty() && !EqualsIgnoreCase(driver, "PARADOX")) {
    throw EDatabaseError("Pilote de tables non géré : " + driver);
  }
  const std::optional<int> codePage = LanguageDriverCodePage(ParamOr(params, "LANGDRIVER"));
  const std::filesystem::path directory = PathFromUtf8(path);
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) {
    throw EDatabaseError("Répertoire de base de données introuvable : " + path);
  }
  return std::make_unique<LocalConnection>(directory, codePage, files_);
}

}  // namespace patchpav::sql
