#include "framework/ini/IniFile.h"

#include <windows.h>

#include <array>

#include "framework/Utf.h"
#include "framework/ini/IntegerText.h"

namespace patchpav {
namespace {

// Settings are read through a buffer of this many characters, the terminating NUL included.
constexpr DWORD kValueBufferLength = 2048;

}  // namespace

EIniFileError::EIniFileError(const std::string& fileName)
    : std::runtime_error("Impossible d'écrire dans " + fileName) {}

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  std::array<wchar_t, kValueBufferLength> buffer{};
  const DWORD length = GetPrivateProfileStringW(
      Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(), Utf8ToWide(defaultValue).c_str(),
      buffer.data(), kValueBufferLength, Utf8ToWide(fileName_).c_str());
  return WideToUtf8(std::wstring_view(buffer.data(), length));
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
  return ParseIntegerText(ReadString(section, key, "")).value_or(defaultValue);
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  if (!WritePrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                  Utf8ToWide(value).c_str(), Utf8ToWide(fileName_).c_str())) {
    throw EIniFileError(fileName_);
  }
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace patchpav
