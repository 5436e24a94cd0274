#include "framework/ini/IniFile.h"

#include <windows.h>

#include <array>

#include "framework/ini/IntegerText.h"

namespace patchpav {
namespace {

// Settings are read through a buffer of this many characters, the terminating NUL included.
constexpr DWORD kValueBufferLength = 2048;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const wchar_t* text, int length) {
  if (length <= 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

}  // namespace

EIniFileError::EIniFileError(const std::string& fileName)
    : std::runtime_error("Impossible d'écrire dans " + fileName) {}

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  std::array<wchar_t, kValueBufferLength> buffer{};
  const DWORD length = GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(),
                                                Widen(defaultValue).c_str(), buffer.data(),
                                                kValueBufferLength, Widen(fileName_).c_str());
  return Narrow(buffer.data(), static_cast<int>(length));
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
  return ParseIntegerText(ReadString(section, key, "")).value_or(defaultValue);
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                  Widen(fileName_).c_str())) {
    throw EIniFileError(fileName_);
  }
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace patchpav
