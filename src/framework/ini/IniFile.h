#pragma once

#include <stdexcept>
#include <string>

namespace patchpav {

// A write to a settings file that Windows refused (read-only file or medium, missing directory):
// "Impossible d'écrire dans <file>".
class EIniFileError : public std::runtime_error {
 public:
  explicit EIniFileError(const std::string& fileName);
};

// One INI file of the product, read and written through the Windows private-profile calls. Those
// calls open and close the file for each value, so this object holds only the name: nothing is
// kept open, and a file that does not exist reads as empty (every key gives its default).
// Windows matches the file name without regard to letter case, as it does for any file.
class IniFile {
 public:
  explicit IniFile(std::string fileName);

  const std::string& FileName() const { return fileName_; }

  // The value as the private-profile call gives it, at most 2047 characters; the default when the
  // file, the section or the key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // The value read as text and converted (see ParseIntegerText); the default when it is missing
  // or no integer, the empty text included.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

  // Creates the section, and the file, when missing. Raises EIniFileError when Windows refuses.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);

 private:
  std::string fileName_;
};

}  // namespace patchpav
