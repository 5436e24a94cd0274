#include "app/BackupLocation.h"

#include <windows.h>

#include "engine/Database.h"
#include "engine/core/UserFolders.h"

namespace patchpav {

std::filesystem::path BackupParentFolder() {
  return LocalAppDataFolder() / L"PatchPAV" / L"Sauvegardes";
}

std::string BackupFolderNameNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return BackupFolderName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

BackupPlan CorrectionBackupPlan(TDatabase& database, bool paradoxBase) {
  BackupPlan plan;
  plan.parentFolder = BackupParentFolder;
  plan.folderName = BackupFolderNameNow;
  if (paradoxBase) {
    plan.copyTable = [&database](const std::filesystem::path& folder) {
      database.Connection().CopyTableFiles("CPMAIN", folder);
    };
  } else {
    plan.undoScript = true;
    const DriverParams& params = database.OpenParams();
    if (const auto found = params.find("SERVER NAME"); found != params.end()) {
      plan.serverName = found->second;
    }
    if (const auto found = params.find("DATABASE NAME"); found != params.end()) {
      plan.databaseName = found->second;
    }
  }
  return plan;
}

}  // namespace patchpav
