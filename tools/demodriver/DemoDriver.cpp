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
//   DemoDriver fits TITLE           measures, inside PatchPAV's process (DemoProbe.dll, beside this
//                                   program), whether the texts of that window fit: every line of a
//                                   multi-line box on one line and in sight, every caption as
//                                   narrow as its window; prints one line per text, "ok ..." or
//                                   "cut ...", and exits 4 when a text is cut
//   DemoDriver fits TITLE TEXT      the same for a text the window will show later: TEXT is
//                                   measured in place of the caption of each of its windows of
//                                   our own classes that has one, shown or hidden (the progress
//                                   dialog before the run, with the widest status line it will
//                                   show)
//   DemoDriver time TITLE BUTTON BOX
//                                   presses the button as click does, then waits until a message
//                                   box titled BOX is visible and prints the milliseconds between
//                                   the press and the box; exit 3 after ten minutes without one
//
// Titles and labels come as the command line gives them; what is printed is UTF-8. The press is
// posted, not sent: the handler it starts (the correction run) must not hold this program.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "DemoProbe.h"
#include "framework/Utf.h"

namespace {

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

// Hooks the window's thread with the probe, which measures the window when it receives
// kMeasureMessage and leaves its report in shared memory.
int MeasureFit(HWND window, const std::wstring& candidate) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring probePath(path, length);
  probePath = probePath.substr(0, probePath.find_last_of(L"\\/") + 1) + L"DemoProbe.dll";
  HMODULE probe = LoadLibraryW(probePath.c_str());
  auto hook =
      probe ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, kProbeHook)))
            : nullptr;
  if (!hook) {
    std::fprintf(stderr, "DemoDriver: cannot load %s\n", patchpav::WideToUtf8(probePath).c_str());
    return 2;
  }
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(kReportSize), kReportName);
  auto* report =
      mapping ? static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
  // The text to measure travels in the report's memory, which the probe's report replaces.
  const std::string text8 = patchpav::WideToUtf8(candidate);
  if (report && text8.size() < kReportSize) {
    std::memcpy(report, text8.c_str(), text8.size() + 1);
  }
  HHOOK installed = report ? SetWindowsHookExW(WH_CALLWNDPROC, hook, probe,
                                               GetWindowThreadProcessId(window, nullptr))
                           : nullptr;
  int status = 2;
  DWORD_PTR ignored = 0;
  const WPARAM mode = candidate.empty() ? kMeasureCaptions : kMeasureGivenText;
  if (installed && SendMessageTimeoutW(window, RegisterWindowMessageW(kMeasureMessage), mode, 0,
                                       SMTO_ABORTIFHUNG, 30000, &ignored)) {
    std::string text(report);
    std::printf("%s", text.c_str());
    const bool cut = text.rfind("cut ", 0) == 0 || text.find("\ncut ") != std::string::npos;
    status = text.empty() ? 2 : cut ? 4 : 0;
    if (text.empty()) std::fprintf(stderr, "DemoDriver: the probe measured nothing\n");
  }
  if (installed) UnhookWindowsHookEx(installed);
  if (report) UnmapViewOfFile(report);
  if (mapping) CloseHandle(mapping);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 2 ? argv[1] : L"";
  // A text measured ahead is measured in a window that may not be shown yet.
  const bool ahead = command == L"fits" && argc == 4;
  HWND window = argc > 2 ? (ahead ? FindWindowW(nullptr, argv[2]) : TopLevel(argv[2])) : nullptr;
  if (!window) return 1;
  if (command == L"rect") {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
  }
  if (command == L"text") {
    std::printf("%s\n", patchpav::WideToUtf8(TextOf(GetDlgItem(window, 0xFFFF))).c_str());
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
    std::printf("%s\n", patchpav::WideToUtf8(TextOf(entry)).c_str());
    return 0;
  }
  if (command == L"fits") return MeasureFit(window, ahead ? argv[3] : L"");
  if (command == L"time" && argc == 5) {
    HWND button = EnabledButton(window, argv[3]);
    if (!button) return 1;
    return TimeUntilBox(button, argv[4]);
  }
  std::fprintf(
      stderr,
      "usage: DemoDriver rect|text|taskbar|fits TITLE | fits TITLE TEXT | click TITLE BUTTON | "
      "time TITLE BUTTON BOX\n");
  return 2;
}
