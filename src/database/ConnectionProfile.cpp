#include "database/ConnectionProfile.h"

#include <vector>

#include "database/BDEProcs.h"
#include "database/ProfileFiles.h"
#include "engine/Database.h"
#include "engine/Session.h"
#include "framework/ini/IniFile.h"

namespace patchpav {
namespace {

constexpr const char* kSection = "DBKERNEL";
constexpr const char* kParadoxAlias = "Klinova_Paradox";
constexpr const char* kSqlAlias = "Klinova_SQL";
constexpr const char* kSqlDriver = "MSSQL";
constexpr const char* kSqlLanguageDriver = "LANGDRIVER=BLLT1FR0";
constexpr const char* kSqlUser = "USER NAME=sa";
constexpr const char* kSqlPassword = "PASSWORD=tovrak";

enum DbType { kDecideByTables = -1, kSqlServer = 0, kParadox = 1 };

void ConfigureParadox(const IniFile& versionFile, const ProfilePlaces& places,
                      TDatabase& connection, TSession& session) {
  const std::string base = AddBackslash(places.baseDirectory);
  const std::string executable = AddBackslash(places.executableDirectory);
  // Stale lock files of an earlier crash would stop the engine from opening the base; one that
  // another program still holds is its business, so the results are not looked at.
  DeleteIfExists(executable + "PDOXUSRS.LCK");
  DeleteIfExists(executable + "PARADOX.LCK");
  DeleteIfExists(base + "PDOXUSRS.LCK");
  DeleteIfExists(base + "PARADOX.LCK");

  RepairEngineSettings(places.baseDirectory);

  // The application-server directory belongs inside the base: a value that leads elsewhere
  // ("..", a drive, a root) is not created, as a directory that cannot be made is not.
  const std::string appServerPath = versionFile.ReadString(kSection, "AppServerPath", "");
  if (IsRelativeBelow(appServerPath)) ForceDirectories(base + appServerPath);

  const std::string alias = versionFile.ReadString(kSection, "Alias", "");
  if (!alias.empty()) {
    connection.SetAliasName(alias);
    connection.SetDatabaseName(alias);
    return;
  }
  // An alias name left by an earlier profile would send the connection through that alias
  // instead of the default one: the default case always goes by its database name.
  connection.SetAliasName("");
  connection.SetDatabaseName(kParadoxAlias);
  if (!session.AliasExists(kParadoxAlias)) session.AddLocalAlias(kParadoxAlias, "", "Paradox");
  connection.Params().Add("PATH=" + base);
}

bool ConfigureSqlServer(const IniFile& versionFile, TDatabase& connection, TSession& session) {
  const std::string databaseName = versionFile.ReadString(kSection, "DatabaseName", "");
  const std::string serverName = versionFile.ReadString(kSection, "ServerName", "");
  if (databaseName.empty() || serverName.empty()) {
    const std::string alias = versionFile.ReadString(kSection, "Alias", "");
    if (alias.empty()) return false;
    connection.SetAliasName(alias);
    connection.SetDatabaseName(alias);
    return true;
  }

  const auto blobSize = [&] {
    return std::to_string(versionFile.ReadInteger(kSection, "BlobSize", 300));
  };
  const auto blobsToCache = [&] {
    return std::to_string(versionFile.ReadInteger(kSection, "BlobsToCache", 10000));
  };
  connection.SetAliasName("");
  connection.SetDatabaseName(kSqlAlias);
  if (!session.AliasExists(kSqlAlias)) {
    session.AddDriverAlias(kSqlAlias, kSqlDriver,
                           {kSqlUser, "BLOB SIZE=" + blobSize(), "BLOBS TO CACHE=" + blobsToCache(),
                            kSqlLanguageDriver});
  }
  for (const std::string& line :
       {std::string(kSqlUser), std::string(kSqlPassword), "BLOB SIZE=" + blobSize(),
        "BLOBS TO CACHE=" + blobsToCache(), "DATABASE NAME=" + databaseName,
        "SERVER NAME=" + serverName, std::string(kSqlLanguageDriver)}) {
    connection.Params().Add(line);
  }
  return true;
}

}  // namespace

bool ConfigureConnection(const IniFile& versionFile, const ProfilePlaces& places, bool& paradoxMode,
                         TDatabase& connection, TSession& session) {
  switch (versionFile.ReadInteger(kSection, "DBType", kDecideByTables)) {
    case kDecideByTables:
      paradoxMode = IsParadoxBase(ExtractFilePath(versionFile.FileName()));
      break;
    case kSqlServer:
      paradoxMode = false;
      break;
    case kParadox:
      paradoxMode = true;
      break;
    default:  // an unknown kind: the base is taken to be of the same kind as the last one
      break;
  }
  connection.Params().Clear();
  if (paradoxMode) {
    ConfigureParadox(versionFile, places, connection, session);
    return true;
  }
  return ConfigureSqlServer(versionFile, connection, session);
}

ProfileResult OpenDatabaseProfile(const ProfilePlaces& places, const ConnectionState& previous,
                                  TDatabase& connection, TSession& session) {
  ProfileResult result{.configured = false, .state = previous, .error = nullptr};
  try {
    const IniFile versionFile(places.baseDirectory + "VARDOMEX.VER");
    if (!ConfigureConnection(versionFile, places, result.state.ParadoxMode, connection, session)) {
      return result;
    }
    result.state.ConnectionName = connection.DatabaseName();
    result.configured = true;
  } catch (...) {
    // The selection asks for another base; the reason goes with the result so that it can say
    // why this one would not do (a version file or engine configuration it may not write...).
    result.error = std::current_exception();
  }
  return result;
}

}  // namespace patchpav
