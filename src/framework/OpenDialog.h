#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace patchpav {

struct TOpenOptions {
  bool HideReadOnly = false;
  bool AllowMultiSelect = false;
};

// The system's file-open dialog (GetOpenFileNameW, Explorer style). The fields are what the
// next Execute starts from; after a choice FileName is the full path of the (first) chosen file.
class TOpenDialog {
 public:
  std::string FileName;
  // "Description|pattern|Description|pattern", as the user reads it.
  std::string Filter;
  std::string InitialDir;
  TOpenOptions Options;

  // Shows the dialog, modal to owner; true when the user chose a file.
  bool Execute(HWND owner);
  // Every file chosen by the last Execute, full paths.
  const std::vector<std::string>& Files() const { return files_; }

 private:
  std::vector<std::string> files_;
};

// "Base Klinova|vardomex.ver" in the form the system reads: "Base Klinova\0vardomex.ver\0\0".
std::wstring FilterToWin32(const std::string& filter);

// The full paths of a multiple-selection answer: "dir\0name1\0name2\0\0", or a single full path.
std::vector<std::wstring> SplitSelection(const std::wstring& buffer);

}  // namespace patchpav
