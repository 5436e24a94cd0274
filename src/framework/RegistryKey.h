#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "framework/Handles.h"

namespace patchpav {

class ERegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One open registry key, closed when the object goes. A key that could not be opened is an
// empty object: reading from it gives nothing, writing to it raises ERegistryError.
class RegistryKey {
 public:
  RegistryKey() = default;

  // path may start with a backslash (the root). access: KEY_ALL_ACCESS and the like, with the
  // registry view (KEY_WOW64_32KEY) if one is wanted.
  static RegistryKey Open(HKEY root, const std::string& path, REGSAM access);
  static RegistryKey Create(HKEY root, const std::string& path, REGSAM access);

  bool IsOpen() const { return static_cast<bool>(key_); }
  HKEY Get() const { return key_.Get(); }
  void Close() { key_.Reset(); }

  // The string value ("" for the default value); "" when it does not exist. A value of another
  // type is an ERegistryError.
  std::string ReadString(const std::string& name) const;
  void WriteString(const std::string& name, const std::string& value);

 private:
  explicit RegistryKey(HKEY key, std::string path) : key_(key), path_(std::move(path)) {}

  RegKeyHandle key_;
  std::string path_;
};

}  // namespace patchpav
