#include "engine/drivers/odbc/OdbcDriver.h"

#include <vector>

#include "engine/core/Errors.h"
#include "engine/drivers/odbc/ConnectionString.h"
#include "engine/drivers/odbc/OdbcConnection.h"
#include "engine/drivers/odbc/WideText.h"

namespace patchpav {
namespace {

using odbc::OdbcHandle;

std::vector<std::string> InstalledDrivers(const OdbcHandle& environment) {
  std::vector<std::string> names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLWCHAR name[512] = {};
    SQLWCHAR attributes[2048] = {};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    const SQLRETURN ret = odbc::Odbc().DriversW(environment.Get(), direction, name, 512,
                                                &nameLength, attributes, 2048, &attributesLength);
    if (!odbc::Succeeded(ret)) break;
    names.push_back(odbc::ToUtf8(name, std::min<std::size_t>(nameLength, 511)));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

}  // namespace

DriverParams OdbcDriver::DefaultParams() const {
  return {
      {"SERVER NAME", ""}, {"DATABASE NAME", ""},
      {"USER NAME", ""},   {"PASSWORD", ""},
      {"BLOB SIZE", "32"}, {"BLOBS TO CACHE", "64"},
      {"LANGDRIVER", ""},  {"ODBC DRIVER", ""},
      {"ENCRYPT", ""},     {"TRUST SERVER CERTIFICATE", ""},
  };
}

std::unique_ptr<DriverConnection> OdbcDriver::Connect(const DriverParams& params) {
  OdbcHandle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  environment.Check(odbc::Odbc().SetEnvAttr(environment.Get(), SQL_ATTR_ODBC_VERSION,
                                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                    "Version ODBC 3 refusée");
  const auto named = params.find("ODBC DRIVER");
  std::string driver = named == params.end() ? std::string() : named->second;
  if (driver.empty()) {
    driver = odbc::ChooseSqlServerDriver(InstalledDrivers(environment));
    if (driver.empty())
      throw EDatabaseError("Aucun pilote ODBC pour SQL Server n'est installé sur cet ordinateur");
  }
  return std::make_unique<odbc::OdbcConnection>(std::move(environment),
                                                odbc::BuildConnectionString(driver, params));
}

}  // namespace patchpav
