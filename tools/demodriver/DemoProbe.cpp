// DemoProbe.dll: the part of DemoDriver that runs inside PatchPAV's process. A font handle means
// something only in the process that made it, so whether a text fits the window that draws it
// can be measured only there. DemoDriver hooks the thread of a window with this library and
// sends the window kMeasureMessage; the hook, called in that thread before the window's own
// procedure, measures what the window shows with the fonts its controls answer to WM_GETFONT,
// and writes a report into the shared memory block named kReportName that DemoDriver made.
//
// The report holds one line per text measured: "ok ..." or "cut ..." (a text that the window
// cuts, wraps beyond its lines or pushes out of sight), in UTF-8.
#include <windows.h>

#include <cstring>
#include <string>

#include "DemoProbe.h"
#include "framework/Utf.h"

namespace {

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::string Pixels(long value) { return std::to_string(value) + " px"; }

// Selects the window's own font into a screen DC for as long as it lives.
class WindowFontDc {
 public:
  explicit WindowFontDc(HWND hwnd)
      : hwnd_(hwnd),
        dc_(GetDC(hwnd)),
        old_(SelectObject(dc_, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)))) {}
  ~WindowFontDc() {
    SelectObject(dc_, old_);
    ReleaseDC(hwnd_, dc_);
  }
  WindowFontDc(const WindowFontDc&) = delete;
  WindowFontDc& operator=(const WindowFontDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

struct Report {
  std::string text;
  void Add(bool fits, const std::string& line) { text += (fits ? "ok " : "cut ") + line + "\n"; }
};

// A multi-line box: every line written takes one line of the box, and the last line with text
// lies inside it, without scrolling.
void MeasureMultiLineEdit(HWND edit, Report& report) {
  std::wstring text = TextOf(edit);
  long written = 1;
  size_t lastTextStart = 0;
  for (size_t start = 0;;) {
    size_t end = text.find(L"\r\n", start);
    if (end != start && start < text.size()) lastTextStart = start;
    if (end == std::wstring::npos) break;
    ++written;
    start = end + 2;
  }
  const long shown = static_cast<long>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
  report.Add(shown == written, "box of " + std::to_string(written) +
                                   " lines written: " + std::to_string(shown) + " shown");
  RECT client;
  GetClientRect(edit, &client);
  TEXTMETRICW metrics{};
  {
    WindowFontDc dc(edit);
    GetTextMetricsW(dc.Get(), &metrics);
  }
  LRESULT position = SendMessageW(edit, EM_POSFROMCHAR, lastTextStart, 0);
  const long bottom = static_cast<short>(HIWORD(position)) + metrics.tmHeight;
  report.Add(bottom <= client.bottom,
             "box's last line with text \"" + patchpav::WideToUtf8(text.substr(lastTextStart, 40)) +
                 "...\": ends at " + Pixels(bottom) + ", the box at " + Pixels(client.bottom));
}

// A window of PatchPAV's own classes draws its caption in one line per line break: each must be
// as narrow as the window.
void MeasureCaption(HWND hwnd, Report& report, const std::wstring* given) {
  std::wstring text = TextOf(hwnd);
  if (text.empty()) return;
  if (given) text = *given;
  RECT needed{};
  {
    WindowFontDc dc(hwnd);
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT);
  }
  RECT client;
  GetClientRect(hwnd, &client);
  report.Add(needed.right <= client.right, "\"" + patchpav::WideToUtf8(text) + "\": needs " +
                                               Pixels(needed.right) + ", its window is " +
                                               Pixels(client.right) + " wide");
}

struct Measure {
  Report report;
  const std::wstring* given = nullptr;  // measured in place of each caption, shown or not
};

BOOL CALLBACK MeasureChild(HWND hwnd, LPARAM data) {
  auto& measure = *reinterpret_cast<Measure*>(data);
  if (!measure.given && !IsWindowVisible(hwnd)) return TRUE;
  const std::wstring name = ClassOf(hwnd);
  if (lstrcmpiW(name.c_str(), L"Edit") == 0) {
    if (!measure.given && (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE)) {
      MeasureMultiLineEdit(hwnd, measure.report);
    }
  } else if (name.rfind(L"PatchPAV", 0) == 0) {
    MeasureCaption(hwnd, measure.report, measure.given);
  }
  return TRUE;
}

std::wstring GivenText() {
  std::wstring text;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kReportName);
  if (!mapping) return text;
  if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kReportSize)) {
    text = patchpav::Utf8ToWide(static_cast<const char*>(view));
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return text;
}

void WriteReport(const std::string& text) {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kReportName);
  if (!mapping) return;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kReportSize)) {
    const size_t length = text.size() < kReportSize - 1 ? text.size() : kReportSize - 1;
    std::memcpy(view, text.data(), length);
    static_cast<char*>(view)[length] = '\0';
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    DemoProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call->message == RegisterWindowMessageW(kMeasureMessage)) {
      Measure measure;
      const std::wstring given = call->wParam == kMeasureGivenText ? GivenText() : L"";
      if (call->wParam == kMeasureGivenText) measure.given = &given;
      EnumChildWindows(call->hwnd, &MeasureChild, reinterpret_cast<LPARAM>(&measure));
      WriteReport(measure.report.text);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
