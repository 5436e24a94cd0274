#include "framework/LoginDialog.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "framework/Application.h"
#include "framework/Utf.h"

namespace patchpav {

namespace {

constexpr int kDatabaseTextId = 100;

// A dialog template built in memory (DLGTEMPLATE and its items, DWORD-aligned), so that the
// dialog manager gives the standard modal behaviour: Tab, Enter for OK, Escape for Annuler.
class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& caption, short width, short height) {
    DLGTEMPLATE header{};
    header.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header.cx = width;
    header.cy = height;
    AppendRaw(&header, sizeof header);
    countOffset_ = offsetof(DLGTEMPLATE, cdit);
    AppendWord(0);  // no menu
    AppendWord(0);  // the standard dialog class
    AppendString(caption);
    AppendWord(8);
    AppendString(L"MS Shell Dlg");
  }

  void AddItem(const wchar_t* className, const std::wstring& text, int id, DWORD style, short x,
               short y, short cx, short cy) {
    Align();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = static_cast<WORD>(id);
    AppendRaw(&item, sizeof item);
    AppendString(className);
    AppendString(text);
    AppendWord(0);  // no creation data
    WORD count = 0;
    std::memcpy(&count, bytes_.data() + countOffset_, sizeof count);
    ++count;
    std::memcpy(bytes_.data() + countOffset_, &count, sizeof count);
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void AppendRaw(const void* data, size_t size) {
    const auto* begin = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size);
  }
  void AppendWord(WORD word) { AppendRaw(&word, sizeof word); }
  void AppendString(const std::wstring& text) {
    AppendRaw(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
  void Align() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }

  std::vector<std::uint8_t> bytes_;
  size_t countOffset_ = 0;
};

struct DialogState {
  std::wstring userName;
  std::optional<LoginEntry> result;
};

std::wstring EditText(HWND dialog, int id) {
  HWND edit = GetDlgItem(dialog, id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  int length = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(length));
  return text;
}

INT_PTR CALLBACK LoginProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<DialogState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      for (int id : {kLoginUserNameId, kLoginPasswordId}) {
        SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, kLoginMaxLength, 0);
      }
      SetDlgItemTextW(dialog, kLoginUserNameId, state->userName.c_str());
      // With a user name given, the user has only the password left to type.
      int focus = state->userName.empty() ? kLoginUserNameId : kLoginPasswordId;
      SetFocus(GetDlgItem(dialog, focus));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      switch (LOWORD(wParam)) {
        case IDOK:
          state->result = LoginEntry{WideToUtf8(EditText(dialog, kLoginUserNameId)),
                                     WideToUtf8(EditText(dialog, kLoginPasswordId))};
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

}  // namespace

std::optional<LoginEntry> ShowLoginDialog(const std::string& databaseName,
                                          const std::string& userName) {
  DialogTemplate dialog(L"Connexion base de données", 200, 92);
  dialog.AddItem(L"STATIC", Utf8ToWide("Base de données : " + databaseName), kDatabaseTextId,
                 SS_LEFT | SS_NOPREFIX, 8, 8, 184, 10);
  dialog.AddItem(L"STATIC", L"Nom d'utilisateur :", -1, SS_LEFT, 8, 26, 70, 10);
  dialog.AddItem(L"EDIT", L"", kLoginUserNameId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 80, 24,
                 112, 12);
  dialog.AddItem(L"STATIC", L"Mot de passe :", -1, SS_LEFT, 8, 44, 70, 10);
  dialog.AddItem(L"EDIT", L"", kLoginPasswordId,
                 ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP, 80, 42, 112, 12);
  dialog.AddItem(L"BUTTON", L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 56, 68, 64, 16);
  dialog.AddItem(L"BUTTON", L"Annuler", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 128, 68, 64, 16);

  DialogState state{Utf8ToWide(userName), std::nullopt};
  INT_PTR answer =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), Application().DialogOwner(),
                              &LoginProc, reinterpret_cast<LPARAM>(&state));
  if (answer == -1) throw std::runtime_error("Impossible d'afficher la fenêtre de connexion");
  return state.result;
}

}  // namespace patchpav
