// DemoDriver: lets scripts/demo work PatchPAV's windows from outside, as a person would, in the
// same Wine prefix and display. PatchPAV itself reads no command line: everything happens here.
//
//   DemoDriver rect TITLE           prints "left top width height" of the visible top-level window
//                                   with that title; exit 1 when there is none
//   DemoDriver text TITLE           prints the message text of that window (a message box)
//   DemoDriver click TITLE BUTTON   presses the button labelled BUTTON (e.g. "&Exécuter") inside
//                                   the visible window with that title; exit 1 when not found
//   DemoDriver taskbar TITLE        prints the caption of the taskbar entry that stands for that
//                                   window (itself, or the first of its owners the taskbar lists)
//   DemoDriver lines TITLE          prints how many lines the first multi-line text of that
//                                   window shows, wrapped lines counted
//   DemoDriver time TITLE BUTTON BOX
//                                   presses the button as click does, then waits until a message
//                                   box titled BOX is visible and prints the milliseconds between
//                                   the press and the box; exit 3 after ten minutes without one
//
// Titles and labels come as the command line gives them; what is printed is UTF-8. The press is
// posted, not sent: the handler it starts (the correction run) must not hold this program.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(length > 0 ? length - 1 : 0));
  return narrow;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

struct Search {
  std::wstring text;
  HWND found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (IsWindowVisible(hwnd) && TextOf(hwnd) == search->text) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindButton(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t className[32] = {};
  GetClassNameW(hwnd, className, 32);
  if (lstrcmpiW(className, L"Button") == 0 && TextOf(hwnd) == search->text &&
      IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindMultiLineEdit(HWND hwnd, LPARAM data) {
  wchar_t className[32] = {};
  GetClassNameW(hwnd, className, 32);
  if (lstrcmpiW(className, L"Edit") == 0 && (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE)) {
    *reinterpret_cast<HWND*>(data) = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The shell lists a visible window that is either unowned and no tool window, or marked as an
// application window.
bool OnTaskbar(HWND hwnd) {
  const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
  if (!IsWindowVisible(hwnd)) return false;
  return (exStyle & WS_EX_APPWINDOW) ||
         (!GetWindow(hwnd, GW_OWNER) && !(exStyle & WS_EX_TOOLWINDOW));
}

HWND TopLevel(const wchar_t* title) {
  Search search{title};
  EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND EnabledButton(HWND window, const wchar_t* label) {
  Search search{label};
  EnumChildWindows(window, &FindButton, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The box is looked for by its dialog class and title alone, so that each look is one short
// question to the server and the waiting takes next to nothing from the program being timed.
int TimeUntilBox(HWND button, const wchar_t* boxTitle) {
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  PostMessageW(button, BM_CLICK, 0, 0);
  for (;;) {
    HWND box = FindWindowW(L"#32770", boxTitle);
    QueryPerformanceCounter(&now);
    if (box && IsWindowVisible(box)) break;
    if (Milliseconds(start, now) > 600000.0) return 3;
    Sleep(2);
  }
  std::printf("%.1f\n", Milliseconds(start, now));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 2 ? argv[1] : L"";
  HWND window = argc > 2 ? TopLevel(argv[2]) : nullptr;
  if (!window) return 1;
  if (command == L"rect") {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
  }
  if (command == L"text") {
    std::printf("%s\n", Narrow(TextOf(GetDlgItem(window, 0xFFFF))).c_str());
    return 0;
  }
  if (command == L"click" && argc == 4) {
    HWND button = EnabledButton(window, argv[3]);
    if (!button) return 1;
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"taskbar") {
    HWND entry = window;
    while (entry && !OnTaskbar(entry)) entry = GetWindow(entry, GW_OWNER);
    if (!entry) return 1;
    std::printf("%s\n", Narrow(TextOf(entry)).c_str());
    return 0;
  }
  if (command == L"lines") {
    HWND edit = nullptr;
    EnumChildWindows(window, &FindMultiLineEdit, reinterpret_cast<LPARAM>(&edit));
    if (!edit) return 1;
    std::printf("%ld\n", static_cast<long>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0)));
    return 0;
  }
  if (command == L"time" && argc == 5) {
    HWND button = EnabledButton(window, argv[3]);
    if (!button) return 1;
    return TimeUntilBox(button, argv[4]);
  }
  std::fprintf(stderr,
               "usage: DemoDriver rect|text|taskbar|lines TITLE | click TITLE BUTTON | "
               "time TITLE BUTTON BOX\n");
  return 2;
}
