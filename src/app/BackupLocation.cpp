#include "app/BackupLocation.h"

#include <windows.h>
//
#include <shlobj.h>

#include <stdexcept>

#include "engine/Database.h"

namespace patchpav {

std::filesystem::path BackupParentFolder() {
  // The variable first, so that a technician (and a test) can point it elsewhere; the shell's
  // own answer when it is not set.
  std::wstring base(MAX_PATH, L'\0');
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), MAX_PATH);
  if (length > MAX_PATH) {
    base.resize(length);
    length = GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), length);
  }
  if (length == 0 || length > base.size()) {
    base.assign(MAX_PATH, L'\0');
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                base.data()))) {
      throw std::runtime_error(
          "Le dossier des données locales de l'utilisateur (LOCALAPPDATA) est introuvable");
    }
    length = static_cast<DWORD>(wcslen(base.c_str()));
  }
  base.resize(length);
  return std::filesystem::path(base) / L"PatchPAV" / L"Sauvegardes";
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
