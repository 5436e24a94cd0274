#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "framework/Handles.h"

namespace patchpav {

class ERegistryError : public std::runtime_error {
 public:
  explicit ERegistryError(const std::string& message, LONG code = ERROR_SUCCESS)
      : std::runtime_error(message), code_(code) {}
  // The system's error code (ERROR_ACCESS_DENIED...), ERROR_SUCCESS when the system said none.
  LONG Code() const { return code_; }

 private:
  LONG code_;
};

// One open registry key, closed when the object goes. A key that could not be opened is an
// empty object: reading from it gives nothing, writing to it raises ERegistryError.
class RegistryKey {
 public:
  RegistryKey() = default;

  // path may start with a backslash (the root). access: what the key is opened for, as little
  // as the caller needs (KEY_QUERY_VALUE to read, KEY_SET_VALUE to write: a standard user may
  // read keys under HKEY_LOCAL_MACHINE that they may not write), with the registry view
  // (KEY_WOW64_32KEY) if one is wanted.
  static RegistryKey Open(HKEY root, const std::string& path, REGSAM access);
  static RegistryKey Create(HKEY root, const std::string& path, REGSAM access);

  bool IsOpen() const { return static_cast<bool>(key_); }
  HKEY Get() const { return key_.Get(); }
  void Close() { key_.Reset(); }

  // The string value ("" for the default value); "" when it does not exist. A REG_EXPAND_SZ
  // value comes with its %variables% expanded, as Windows itself reads it. A value of another
  // type is an ERegistryError.
  std::string ReadString(const std::string& name) const;
  // A refused write (or a key that could not be opened or created) is an ERegistryError with
  // the system's code: the one of the write, or else the one of the failed open.
  void WriteString(const std::string& name, const std::string& value);

 private:
  RegistryKey(HKEY key, std::string path, LONG openError = ERROR_SUCCESS)
      : key_(key), path_(std::move(path)), openError_(openError) {}

  RegKeyHandle key_;
  std::string path_;
  LONG openError_ = ERROR_SUCCESS;
};

}  // namespace patchpav
