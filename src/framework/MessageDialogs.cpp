#include "framework/MessageDialogs.h"

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Utf.h"

namespace patchpav {

namespace {

// The system's message box writes its buttons in the language of the system ("&Yes" on an
// English Windows). A thread-local CBT hook, installed only around the call, renames them when
// the box is first activated: the box keeps the system's layout, sound, keyboard handling and
// icons, and only the words change. Boxes of other threads are left alone.
thread_local HWND tBoxToRename = nullptr;
thread_local bool tRenaming = false;

void RenameButtons(HWND box) {
  struct Label {
    int id;
    const wchar_t* text;
  };
  static const Label kLabels[] = {
      {IDOK, L"OK"}, {IDYES, L"&Oui"}, {IDNO, L"&Non"}, {IDCANCEL, L"Annuler"}};
  for (const Label& label : kLabels) {
    if (HWND button = GetDlgItem(box, label.id)) SetWindowTextW(button, label.text);
  }
}

bool IsDialogOfThisThread(HWND hwnd) {
  if (GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) return false;
  wchar_t className[16] = {};
  GetClassNameW(hwnd, className, 16);
  return lstrcmpW(className, L"#32770") == 0;
}

LRESULT CALLBACK RenameButtonsHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && tRenaming && !tBoxToRename) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    if (IsDialogOfThisThread(hwnd)) {
      tBoxToRename = hwnd;  // only the first activation: the box of this call
      RenameButtons(hwnd);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
  bool outerRenaming = tRenaming;
  HWND outerBox = tBoxToRename;
  HookHandle hook(SetWindowsHookExW(WH_CBT, &RenameButtonsHook, nullptr, GetCurrentThreadId()));
  tRenaming = true;
  tBoxToRename = nullptr;
  HWND owner = Application().DialogOwner();
  // Without an owner, a task-modal box still disables every window of the application.
  if (!owner) flags |= MB_TASKMODAL;
  int result = MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
  tRenaming = outerRenaming;
  tBoxToRename = outerBox;
  return result;
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  const char* caption = "";
  UINT flags = buttons == TMsgDlgButtons::mbYesNo ? MB_YESNO : MB_OK;
  switch (type) {
    case TMsgDlgType::mtWarning:
      caption = "Avertissement";
      flags |= MB_ICONEXCLAMATION;
      break;
    case TMsgDlgType::mtError:
      caption = "Erreur";
      flags |= MB_ICONSTOP;
      break;
    case TMsgDlgType::mtInformation:
      caption = "Information";
      flags |= MB_ICONINFORMATION;
      break;
    case TMsgDlgType::mtConfirmation:
      caption = "Confirmation";
      flags |= MB_ICONQUESTION;
      break;
  }
  return ShowMessageBox(text, caption, flags);
}

void ShowMessage(const std::string& text) { ShowMessageBox(text, Application().Title(), MB_OK); }

}  // namespace patchpav
