#include "support/DialogRobot.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <stdexcept>

namespace patchpav::testing {

namespace {

thread_local DialogRobot* tRobot = nullptr;

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

std::string WindowText(HWND hwnd) {
  wchar_t buffer[4096] = {};
  int length = GetWindowTextW(hwnd, buffer, 4096);
  return Narrow(std::wstring(buffer, static_cast<size_t>(length)));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

DialogIcon IconOf(HICON icon) {
  if (!icon) return DialogIcon::None;
  struct Known {
    LPCWSTR id;
    DialogIcon icon;
  };
  static const Known kKnown[] = {{IDI_EXCLAMATION, DialogIcon::Warning},
                                 {IDI_HAND, DialogIcon::Error},
                                 {IDI_ASTERISK, DialogIcon::Information},
                                 {IDI_QUESTION, DialogIcon::Question}};
  for (const Known& known : kKnown) {
    if (LoadIconW(nullptr, known.id) == icon) return known.icon;
  }
  return DialogIcon::Other;
}

struct Controls {
  HWND dialog = nullptr;
  DialogIcon icon = DialogIcon::None;
  std::vector<std::pair<HWND, std::string>> buttons{};
  std::vector<SeenDialog::Edit> edits{};
  std::vector<std::string> statics{};
};

std::wstring Widen(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(wide.empty() ? 0 : wide.size() - 1);
  return wide;
}

void TypeInto(HWND edit, const std::string& text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
  for (wchar_t c : Widen(text)) SendMessageW(edit, WM_CHAR, c, 0);
}

BOOL CALLBACK CollectControl(HWND child, LPARAM data) {
  auto* controls = reinterpret_cast<Controls*>(data);
  if (GetParent(child) != controls->dialog) return TRUE;
  std::wstring className = ClassOf(child);
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if (_wcsicmp(className.c_str(), L"Button") == 0 && (style & WS_VISIBLE)) {
    controls->buttons.emplace_back(child, WindowText(child));
  } else if (_wcsicmp(className.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    if (icon) controls->icon = IconOf(icon);
  } else if (_wcsicmp(className.c_str(), L"Static") == 0) {
    controls->statics.push_back(WindowText(child));
  } else if (_wcsicmp(className.c_str(), L"Edit") == 0) {
    controls->edits.push_back({GetDlgCtrlID(child), WindowText(child),
                               static_cast<int>(SendMessageW(child, EM_GETLIMITTEXT, 0, 0)),
                               (style & ES_PASSWORD) != 0});
  }
  return TRUE;
}

struct VisibleWindows {
  HWND except;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM data) {
  auto* windows = reinterpret_cast<VisibleWindows*>(data);
  if (hwnd != windows->except && IsWindowVisible(hwnd)) windows->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

DialogRobot::DialogRobot() {
  if (tRobot) throw std::logic_error("one DialogRobot per thread");
  hook_ = SetWindowsHookExW(WH_CBT, &DialogRobot::CbtHook, nullptr, GetCurrentThreadId());
  if (!hook_) throw std::runtime_error("DialogRobot: SetWindowsHookExW failed");
  tRobot = this;
}

DialogRobot::~DialogRobot() {
  if (timer_) KillTimer(nullptr, timer_);
  UnhookWindowsHookEx(hook_);
  tRobot = nullptr;
}

LRESULT CALLBACK DialogRobot::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  DialogRobot* robot = tRobot;
  if (robot && code == HCBT_ACTIVATE) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    bool ours = GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
    bool known =
        std::find(robot->handled_.begin(), robot->handled_.end(), hwnd) != robot->handled_.end() ||
        std::find(robot->pending_.begin(), robot->pending_.end(), hwnd) != robot->pending_.end();
    if (ours && !known && ClassOf(hwnd) == L"#32770") {
      robot->pending_.push_back(hwnd);
      // The timer fires inside the dialog's modal loop, once the dialog is fully shown.
      if (!robot->timer_) robot->timer_ = SetTimer(nullptr, 0, 1, &DialogRobot::TimerTick);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogRobot::TimerTick(HWND, UINT, UINT_PTR id, DWORD) {
  DialogRobot* robot = tRobot;
  if (!robot || id != robot->timer_) {
    KillTimer(nullptr, id);
    return;
  }
  KillTimer(nullptr, robot->timer_);
  robot->timer_ = 0;
  std::vector<HWND> dialogs;
  dialogs.swap(robot->pending_);
  for (HWND dialog : dialogs) {
    if (IsWindow(dialog)) robot->Handle(dialog);
  }
}

void DialogRobot::HandleFileDialog(HWND dialog, SeenDialog& seen) {
  seen.fileDialog = true;
  HWND nameBox = GetDlgItem(dialog, cmb13);
  seen.fileName = WindowText(nameBox);
  wchar_t folder[MAX_PATH] = {};
  SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
  seen.folder = Narrow(folder);
  seen.fileType = WindowText(GetDlgItem(dialog, cmb1));
  std::string file;
  if (!answers_.empty() && answers_.front().file) {
    file = answers_.front().text;
    answers_.pop_front();
    seen.scripted = true;
  }
  seen.chosenFile = file;
  if (file.empty()) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    return;
  }
  // The name box is a ComboBoxEx32 under Wine 8: its edit control holds what the user typed.
  HWND edit = reinterpret_cast<HWND>(SendMessageW(nameBox, CBEM_GETEDITCONTROL, 0, 0));
  int wideLength = MultiByteToWideChar(CP_UTF8, 0, file.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, file.c_str(), -1, wide.data(), wideLength);
  SetWindowTextW(edit ? edit : nameBox, wide.c_str());
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

void DialogRobot::Handle(HWND dialog) {
  handled_.push_back(dialog);
  SeenDialog seen;
  seen.caption = WindowText(dialog);
  seen.owner = GetWindow(dialog, GW_OWNER);
  VisibleWindows visible{dialog, {}};
  EnumThreadWindows(GetCurrentThreadId(), &CollectVisible, reinterpret_cast<LPARAM>(&visible));
  seen.visibleWindows = std::move(visible.found);
  if (GetDlgItem(dialog, cmb13)) {
    HandleFileDialog(dialog, seen);
    seen_.push_back(std::move(seen));
    return;
  }
  if (HWND text = GetDlgItem(dialog, 0xFFFF)) seen.text = WindowText(text);
  Controls controls{dialog};
  EnumChildWindows(dialog, &CollectControl, reinterpret_cast<LPARAM>(&controls));
  seen.icon = controls.icon;
  seen.edits = controls.edits;
  seen.statics = controls.statics;
  for (const auto& button : controls.buttons) seen.buttons.push_back(button.second);

  HWND press = nullptr;
  if (!answers_.empty() && !answers_.front().file) {
    std::string wanted = answers_.front().text;
    for (const auto& [id, text] : answers_.front().typed) {
      if (HWND edit = GetDlgItem(dialog, id)) TypeInto(edit, text);
    }
    const UINT key = answers_.front().key;
    answers_.pop_front();
    if (key) {
      // Posted, so that the dialog's modal loop sees it and its dialog manager handles it.
      HWND focus = GetFocus();
      PostMessageW(focus ? focus : dialog, WM_KEYDOWN, key, 1);
      PostMessageW(focus ? focus : dialog, WM_KEYUP, key, 0xC0000001);
      seen.scripted = true;
      seen_.push_back(std::move(seen));
      return;
    }
    for (const auto& button : controls.buttons) {
      if (button.second == wanted) press = button.first;
    }
    seen.scripted = press != nullptr;  // a label that is not there counts as unscripted
  }
  if (!press && !controls.buttons.empty()) press = controls.buttons.front().first;
  if (press) {
    seen.pressed = WindowText(press);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(press), BN_CLICKED),
                 reinterpret_cast<LPARAM>(press));
  } else {
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
  seen_.push_back(std::move(seen));
}

}  // namespace patchpav::testing
