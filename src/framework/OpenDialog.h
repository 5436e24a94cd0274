#pragma once

#include <windows.h>
// commdlg.h after windows.h, which it needs.
#include <commdlg.h>

#include <string>
#include <vector>

namespace patchpav {

struct TOpenOptions {
  bool HideReadOnly = false;
  bool AllowMultiSelect = false;
  // The dialog itself refuses a typed name of a file, or a folder, that does not exist.
  bool FileMustExist = false;
  bool PathMustExist = false;
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
  // The system call that shows the dialog. Tests put theirs in its place to make the dialog fail
  // as it can on a workstation (no desktop to show it on, no memory, a name the system refuses).
  using ShowCall = BOOL(WINAPI*)(LPOPENFILENAMEW);
  ShowCall Show = GetOpenFileNameW;

  // Shows the dialog, modal to owner; true when the user chose a file, false when they
  // cancelled. A dialog that could not be shown (CommDlgExtendedError non-zero) is a
  // std::runtime_error with OpenDialogFailureText.
  bool Execute(HWND owner);
  // Every file chosen by the last Execute, full paths.
  const std::vector<std::string>& Files() const { return files_; }

 private:
  std::vector<std::string> files_;
};

// "La boîte de dialogue d'ouverture de fichier n'a pas pu s'afficher (erreur 0x0002)".
std::string OpenDialogFailureText(DWORD error);

// "Base Klinova|vardomex.ver" in the form the system reads: "Base Klinova\0vardomex.ver\0\0".
std::wstring FilterToWin32(const std::string& filter);

// The full paths of a multiple-selection answer: "dir\0name1\0name2\0\0", or a single full path.
std::vector<std::wstring> SplitSelection(const std::wstring& buffer);

}  // namespace patchpav
