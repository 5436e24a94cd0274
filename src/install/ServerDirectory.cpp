#include "install/ServerDirectory.h"

#include <windows.h>

#include <cctype>

#include "database/ProfileFiles.h"
#include "framework/Utf.h"

namespace patchpav {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string FullPathName(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  needed = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (needed == 0 || needed >= full.size()) return {};
  full.resize(needed);
  return WideToUtf8(full);
}

}  // namespace

bool IsAbsoluteWindowsPath(const std::string& path) {
  if (HasDrive(path)) return path.size() >= 3 && IsSeparator(path[2]);
  return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != '\0' &&
         !IsSeparator(path[2]);
}

std::string ResolveServerDirectory(const std::string& installDir, const std::string& server) {
  if (server.empty()) return {};
  std::string path;
  if (IsAbsoluteWindowsPath(server)) {
    path = server;
  } else if (HasDrive(server) || IsSeparator(server.front())) {
    return {};  // "C:Base", "\Base": whatever the working directory makes of them
  } else {
    if (!IsAbsoluteWindowsPath(installDir)) return {};
    path = AddBackslash(installDir) + server;
  }
  const std::string full = FullPathName(path);
  if (!IsAbsoluteWindowsPath(full)) return {};
  return AddBackslash(full);
}

}  // namespace patchpav
