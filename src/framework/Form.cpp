#include "framework/Form.h"

#include <algorithm>
#include <vector>

#include "framework/Application.h"

namespace patchpav {

namespace {

struct FrameStyles {
  DWORD style;
  DWORD exStyle;
};

FrameStyles StylesOf(TBorderStyle border, const TBorderIcons& icons) {
  FrameStyles frame{WS_POPUP, 0};
  switch (border) {
    case TBorderStyle::bsNone:
      return frame;  // no frame, no title bar, no buttons
    case TBorderStyle::bsSingle:
      frame.style |= WS_CAPTION | WS_BORDER;
      break;
    case TBorderStyle::bsSizeable:
      frame.style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case TBorderStyle::bsDialog:
      frame.style |= WS_CAPTION | WS_DLGFRAME;
      frame.exStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (icons.SystemMenu) {
    frame.style |= WS_SYSMENU;
    // A dialog frame has no minimise or maximise box.
    if (border != TBorderStyle::bsDialog) {
      if (icons.Minimize) frame.style |= WS_MINIMIZEBOX;
      if (icons.Maximize) frame.style |= WS_MAXIMIZEBOX;
    }
  }
  return frame;
}

TControlParams WindowParams(const TFormParams& params) {
  FrameStyles frame = StylesOf(params.BorderStyle, params.BorderIcons);
  RECT rect{0, 0, params.ClientWidth, params.ClientHeight};
  AdjustWindowRectEx(&rect, frame.style, FALSE, frame.exStyle);
  return {.Left = CW_USEDEFAULT,
          .Top = CW_USEDEFAULT,
          .Width = rect.right - rect.left,
          .Height = rect.bottom - rect.top,
          .Caption = params.Caption,
          .Style = frame.style,
          .ExStyle = frame.exStyle};
}

// Disables the other enabled windows of the thread for the time of a modal form, and enables
// them again on every way out.
class ThreadWindowsDisabled {
 public:
  explicit ThreadWindowsDisabled(HWND except) : except_(except) {
    EnumThreadWindows(GetCurrentThreadId(), &ThreadWindowsDisabled::Collect,
                      reinterpret_cast<LPARAM>(this));
    for (HWND hwnd : disabled_) EnableWindow(hwnd, FALSE);
  }
  ~ThreadWindowsDisabled() {
    for (HWND hwnd : disabled_) {
      if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    }
  }
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK Collect(HWND hwnd, LPARAM data) {
    auto* self = reinterpret_cast<ThreadWindowsDisabled*>(data);
    if (hwnd != self->except_ && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
      self->disabled_.push_back(hwnd);
    }
    return TRUE;
  }
  HWND except_;
  std::vector<HWND> disabled_;
};

BOOL CALLBACK CollectDescendant(HWND hwnd, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
  return TRUE;
}

}  // namespace

TForm::TForm(TComponent* owner, const TFormParams& params)
    : TWinControl(owner, nullptr, WindowParams(params)),
      borderStyle_(params.BorderStyle),
      borderIcons_(params.BorderIcons),
      clientWidth_(params.ClientWidth),
      clientHeight_(params.ClientHeight),
      screenCenter_(params.ScreenCenter) {
  SetFont(params.Font);
  if (screenCenter_) CentreOnScreen();
}

TForm::~TForm() { Application().FormDestroyed(this); }

void TForm::Show() {
  if (!Visible()) {
    // The taskbar entry comes first: the show event may ask questions long before the form
    // itself appears, and without an entry the tool would seem gone once the user looks away.
    if (Application().MainForm() == this) Application().ShowApplicationWindow(true);
    FormShow();
    if (screenCenter_ && !shownOnce_) CentreOnScreen();
    shownOnce_ = true;
    SetVisible(true);
    // A hidden form may have been made active already (a dialog it owned has closed), when no
    // control could take the keyboard: they can now.
    if (GetActiveWindow() == Handle() && !IsChild(Handle(), GetFocus())) RestoreFocus();
  }
  BringToFront();
}

void TForm::Close() {
  if (!CloseQuery()) return;
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  Hide();
  if (Application().MainForm() == this) {
    Application().ShowApplicationWindow(false);
    Application().Terminate();
  }
}

int TForm::ShowModal() {
  modalResult_ = mrNone;
  modal_ = true;
  {
    ThreadWindowsDisabled others(Handle());
    Show();
    SetActiveWindow(Handle());
    while (modalResult_ == mrNone) {
      if (!Application().HandleMessage()) {
        modalResult_ = mrCancel;  // the application is ending
        break;
      }
    }
    Hide();
  }
  modal_ = false;
  return modalResult_;
}

void TForm::SetBorderStyle(TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  ApplyFrame();
}

void TForm::ApplyFrame() {
  FrameStyles frame = StylesOf(borderStyle_, borderIcons_);
  DWORD visible = GetWindowLongW(Handle(), GWL_STYLE) & (WS_VISIBLE | WS_DISABLED);
  SetWindowLongW(Handle(), GWL_STYLE, static_cast<LONG>(frame.style | visible | WS_CLIPCHILDREN));
  SetWindowLongW(Handle(), GWL_EXSTYLE, static_cast<LONG>(frame.exStyle));
  RECT rect{0, 0, clientWidth_, clientHeight_};
  AdjustWindowRectEx(&rect, frame.style, FALSE, frame.exStyle);
  SetWindowPos(Handle(), nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::CentreOnScreen() {
  RECT window;
  GetWindowRect(Handle(), &window);
  int width = window.right - window.left;
  int height = window.bottom - window.top;
  int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<HWND> TForm::TabStops() const {
  // Child windows come in creation order, depth first: the tab order.
  std::vector<HWND> windows;
  EnumChildWindows(Handle(), &CollectDescendant, reinterpret_cast<LPARAM>(&windows));
  std::vector<HWND> stops;
  for (HWND hwnd : windows) {
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) || !IsWindowVisible(hwnd)) continue;
    bool enabled = true;
    for (HWND up = hwnd; up && up != Handle(); up = GetParent(up))
      enabled = enabled && IsWindowEnabled(up);
    if (enabled) stops.push_back(hwnd);
  }
  return stops;
}

void TForm::Tab(bool backwards) {
  std::vector<HWND> stops = TabStops();
  if (stops.empty()) return;
  HWND focus = GetFocus();
  auto at = std::find(stops.begin(), stops.end(), focus);
  size_t next = 0;
  if (at == stops.end()) {
    next = backwards ? stops.size() - 1 : 0;
  } else {
    size_t index = static_cast<size_t>(at - stops.begin());
    next = backwards ? (index + stops.size() - 1) % stops.size() : (index + 1) % stops.size();
  }
  SetFocus(stops[next]);
}

bool TForm::OfferDialogKey(UINT key) {
  // Child windows come in creation order, which is the tab order.
  std::vector<HWND> windows;
  EnumChildWindows(Handle(), &CollectDescendant, reinterpret_cast<LPARAM>(&windows));
  for (HWND hwnd : windows) {
    if (TWinControl* control = FromHandle(hwnd); control && control->DialogKey(key)) return true;
  }
  return false;
}

void TForm::SetActiveControl(TWinControl& control) {
  lastFocus_ = control.Handle();
  if (GetActiveWindow() == Handle() && IsWindowVisible(lastFocus_)) SetFocus(lastFocus_);
}

void TForm::RestoreFocus() {
  // Giving the focus may activate the form again (a hidden form is never really active): once
  // is enough.
  if (restoringFocus_ || GetActiveWindow() != Handle()) return;
  restoringFocus_ = true;
  HWND target = lastFocus_;
  if (!target || !IsChild(Handle(), target) || !IsWindowVisible(target) ||
      !IsWindowEnabled(target)) {
    std::vector<HWND> stops = TabStops();
    target = stops.empty() ? nullptr : stops.front();
  }
  SetFocus(target ? target : Handle());
  restoringFocus_ = false;
}

// WM_NEXTDLGCTL, which the dialog manager sends for the arrow keys: lParam non-zero names the
// window in wParam, otherwise wParam non-zero goes backwards.
void TForm::MoveFocus(WPARAM wParam, LPARAM lParam) {
  HWND target = nullptr;
  if (LOWORD(lParam)) {
    target = reinterpret_cast<HWND>(wParam);
  } else {
    Tab(wParam != 0);
    return;
  }
  if (target && IsChild(Handle(), target)) SetFocus(target);
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // High contrast switched, or the colour scheme changed: every control paints again with
      // the colours that now apply.
      RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return TWinControl::HandleMessage(message, wParam, lParam);
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
      } else if (!HIWORD(wParam)) {  // not while minimised
        RestoreFocus();
      }
      return 0;
    case WM_NEXTDLGCTL:
      MoveFocus(wParam, lParam);
      return 0;
    case WM_SYSCOMMAND:
      // The main form is minimised as the application: into its taskbar entry.
      if ((wParam & 0xFFF0) == SC_MINIMIZE && Application().MainForm() == this) {
        Application().Minimize();
        return 0;
      }
      return TWinControl::HandleMessage(message, wParam, lParam);
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace patchpav
