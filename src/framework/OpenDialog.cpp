#include "framework/OpenDialog.h"

#include <commdlg.h>

#include <cstdio>
#include <stdexcept>

#include "framework/Application.h"
#include "framework/Utf.h"

namespace patchpav {

std::wstring FilterToWin32(const std::string& filter) {
  std::wstring result = Utf8ToWide(filter);
  for (wchar_t& c : result) {
    if (c == L'|') c = L'\0';
  }
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

std::vector<std::wstring> SplitSelection(const std::wstring& buffer) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start < buffer.size() && buffer[start] != L'\0') {
    size_t end = buffer.find(L'\0', start);
    if (end == std::wstring::npos) end = buffer.size();
    parts.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() <= 1) return parts;
  // Several files: the directory first, then the names inside it.
  std::wstring directory = parts.front();
  if (!directory.empty() && directory.back() != L'\\') directory.push_back(L'\\');
  std::vector<std::wstring> files;
  for (size_t i = 1; i < parts.size(); ++i) files.push_back(directory + parts[i]);
  return files;
}

std::string OpenDialogFailureText(DWORD error) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04lX", static_cast<unsigned long>(error));
  return std::string("La boîte de dialogue d'ouverture de fichier n'a pas pu s'afficher (erreur ") +
         code + ")";
}

bool TOpenDialog::Execute(HWND owner) {
  // Room for a multiple selection; a single name is at most MAX_PATH anyway.
  std::wstring buffer(32768, L'\0');
  std::wstring initial = Utf8ToWide(FileName);
  if (initial.size() >= buffer.size()) initial.resize(buffer.size() - 1);
  initial.copy(buffer.data(), initial.size());
  std::wstring filter = FilterToWin32(Filter);
  std::wstring initialDir = Utf8ToWide(InitialDir);

  // A form not yet shown (the wizard during its start-up chain) cannot hold the dialog up in
  // the taskbar: the application's window does.
  if (!owner || !IsWindowVisible(owner)) owner = Application().DialogOwner();

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
  if (Options.HideReadOnly) dialog.Flags |= OFN_HIDEREADONLY;
  if (Options.AllowMultiSelect) dialog.Flags |= OFN_ALLOWMULTISELECT;
  if (Options.FileMustExist) dialog.Flags |= OFN_FILEMUSTEXIST;
  if (Options.PathMustExist) dialog.Flags |= OFN_PATHMUSTEXIST;
  if (!Show(&dialog)) {
    // FALSE is also what a dialog that could not open returns: taking that for a cancel would
    // have a caller that asks again loop without end, with nothing on screen.
    if (const DWORD error = CommDlgExtendedError(); error != 0) {
      throw std::runtime_error(OpenDialogFailureText(error));
    }
    return false;
  }

  files_.clear();
  for (const std::wstring& file : SplitSelection(buffer)) files_.push_back(WideToUtf8(file));
  if (files_.empty()) return false;
  FileName = files_.front();
  return true;
}

}  // namespace patchpav
