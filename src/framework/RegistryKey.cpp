#include "framework/RegistryKey.h"

#include <vector>

#include "framework/Utf.h"

namespace patchpav {

namespace {

std::wstring SubKey(const std::string& path) {
  std::string relative = path;
  while (!relative.empty() && relative.front() == '\\') relative.erase(0, 1);
  return Utf8ToWide(relative);
}

}  // namespace

RegistryKey RegistryKey::Open(HKEY root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, SubKey(path).c_str(), 0, access, &key) != ERROR_SUCCESS) return {};
  return RegistryKey(key, path);
}

RegistryKey RegistryKey::Create(HKEY root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  const LONG result = RegCreateKeyExW(root, SubKey(path).c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    // Not open, but a write to it still says which key refused it, and why.
    return RegistryKey(nullptr, path, result);
  }
  return RegistryKey(key, path);
}

std::string RegistryKey::ReadString(const std::string& name) const {
  if (!key_) return {};
  std::wstring valueName = Utf8ToWide(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key_.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    throw ERegistryError("Type de donnée incorrect pour '" + name + "'");
  }
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key_.Get(), valueName.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer.data()), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  // The text stops at the terminating NUL, stored or not.
  if (type != REG_EXPAND_SZ) return WideToUtf8(buffer.data());
  // An installer may write "%ProgramFiles%\Klinova" and leave the expansion to the reader.
  const std::wstring stored = buffer.data();
  DWORD needed = ExpandEnvironmentStringsW(stored.c_str(), nullptr, 0);
  if (needed == 0) return WideToUtf8(stored);
  std::wstring expanded(needed, L'\0');
  needed = ExpandEnvironmentStringsW(stored.c_str(), expanded.data(), needed);
  if (needed == 0 || needed > expanded.size()) return WideToUtf8(stored);
  expanded.resize(needed - 1);  // the count includes the terminating NUL
  return WideToUtf8(expanded);
}

void RegistryKey::WriteString(const std::string& name, const std::string& value) {
  std::wstring text = Utf8ToWide(value);
  LONG result = openError_ != ERROR_SUCCESS ? openError_ : ERROR_INVALID_HANDLE;
  if (key_) {
    result = RegSetValueExW(key_.Get(), Utf8ToWide(name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  if (result != ERROR_SUCCESS) {
    throw ERegistryError(
        "Échec de l'écriture de la valeur '" + name + "' pour la clé '" + path_ + "'", result);
  }
}

}  // namespace patchpav
