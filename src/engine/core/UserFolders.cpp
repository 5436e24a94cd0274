#include "engine/core/UserFolders.h"

#ifdef _WIN32
#include <windows.h>
//
#include <shlobj.h>

#include <stdexcept>
#include <string>

namespace patchpav {

std::filesystem::path LocalAppDataFolder() {
  // The process's own environment (SetEnvironmentVariableW), not the C runtime's copy of it.
  if (DWORD length = GetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", nullptr, 0)) {
    std::wstring test(length, L'\0');
    length = GetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", test.data(), length);
    test.resize(length);
    if (!test.empty()) return std::filesystem::path(test);
  }
  PWSTR folder = nullptr;
  const HRESULT result =
      SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder);
  // The shell hands out its own allocation, also on failure.
  std::filesystem::path path;
  if (SUCCEEDED(result) && folder && *folder) path = folder;
  CoTaskMemFree(folder);
  if (path.empty()) {
    throw std::runtime_error(
        "Le dossier des données locales de l'utilisateur (LOCALAPPDATA) est introuvable");
  }
  return path;
}

}  // namespace patchpav
#endif
