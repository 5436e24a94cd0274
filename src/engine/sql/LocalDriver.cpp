#include "engine/sql/LocalDriver.h"

#include <system_error>
#include <utility>

#include "engine/core/AsciiCase.h"
#include "engine/core/Errors.h"
#include "engine/drivers/paradox/TableFile.h"
#include "engine/sql/LocalStatements.h"

namespace patchpav::sql {
namespace {

std::string ParamOr(const DriverParams& params, const std::string& name) {
  const auto found = params.find(name);
  return found == params.end() ? std::string() : found->second;
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

std::optional<int> LanguageDriverCodePage(const std::string& name) {
  static const std::pair<const char*, int> kDrivers[] = {
      {"ascii", 437},     {"intl", 437},      {"swedfin", 437},   {"intl850", 850},
      {"spanish", 850},   {"ANSIINTL", 1252}, {"ANSII850", 1252}, {"ANSISPAN", 1252},
      {"ANSISWFN", 1252}, {"DBWINUS0", 1252}, {"DBWINWE0", 1252}, {"BLLT1FR0", 1252},
      {"BLLT1DE0", 1252}, {"BLLT1US0", 1252}};
  if (name.empty()) return std::nullopt;
  for (const auto& [driver, codePage] : kDrivers) {
    if (EqualsIgnoreCase(name, driver)) return codePage;
  }
  throw EDatabaseError("Pilote de langue inconnu : " + name);
}

LocalConnection::LocalConnection(const std::filesystem::path& directory,
                                 std::optional<int> defaultCodePage, paradox::FileSystem& files)
    : catalog_(std::make_shared<TableCatalog>(directory, defaultCodePage, files)) {}

std::unique_ptr<PreparedStatement> LocalConnection::Prepare(const std::string& sql) {
  return PrepareLocalStatement(catalog_, sql);
}

LocalDriver::LocalDriver() : files_(paradox::SystemFileSystem()) {}

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
