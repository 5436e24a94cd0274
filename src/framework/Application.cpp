#include "framework/Application.h"

#include <windows.h>

#include <stdexcept>

#include "framework/MessageDialogs.h"
#include "framework/Utf.h"

namespace patchpav {

void Abort() { throw EAbort(); }

TApplication& Application() {
  static TApplication application;
  return application;
}

std::string ErrorMessageText(const std::string& text) {
  if (!text.empty() && text.back() == '.') return text;
  return text + ".";
}

namespace {

constexpr wchar_t kApplicationClass[] = L"PatchPAVApplication";

void ShowForms(HWND owner, bool show) {
  // The main form's own dialogs first when hiding, last when showing.
  if (TForm* main = Application().MainForm(); main && !show) ShowOwnedPopups(main->Handle(), FALSE);
  ShowOwnedPopups(owner, show);
  if (TForm* main = Application().MainForm(); main && show) ShowOwnedPopups(main->Handle(), TRUE);
}

}  // namespace

TApplication::~TApplication() {
  // The forms go first: the application window owns the main form's window.
  DestroyComponents();
}

void TApplication::SetTitle(std::string title) {
  title_ = std::move(title);
  if (handle_) SetWindowTextW(handle_.Get(), Utf8ToWide(title_).c_str());
}

HWND TApplication::Handle() {
  if (handle_) return handle_.Get();
  static const ATOM atom = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TApplication::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.lpszClassName = kApplicationClass;
    return RegisterClassExW(&windowClass);
  }();
  if (!atom) throw std::runtime_error("Impossible d'enregistrer la classe de l'application");
  // A popup with a caption and a minimise box but no size: it never shows on the desktop, only
  // in the taskbar, under the application's title.
  HWND hwnd = CreateWindowExW(0, kApplicationClass, Utf8ToWide(title_).c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2,
                              0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) throw std::runtime_error("Impossible de créer la fenêtre de l'application");
  handle_.Reset(hwnd);
  return hwnd;
}

void TApplication::ShowApplicationWindow(bool visible) {
  if (!visible && !handle_) return;
  ShowWindow(Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

HWND TApplication::DialogOwner() {
  if (HWND active = GetActiveWindow()) return active;
  if (mainForm_ && mainForm_->Visible()) return mainForm_->Handle();
  if (handle_ && IsWindowVisible(handle_.Get())) return handle_.Get();
  return nullptr;
}

void TApplication::Minimize() {
  ShowForms(Handle(), false);
  ShowWindow(Handle(), SW_MINIMIZE);
}

void TApplication::Restore() {
  if (!handle_) return;
  ShowWindow(handle_.Get(), SW_RESTORE);
  ShowForms(handle_.Get(), true);
  if (mainForm_ && mainForm_->Visible()) SetForegroundWindow(mainForm_->Handle());
}

LRESULT CALLBACK TApplication::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
          Application().Minimize();
          return 0;
        case SC_RESTORE:
          Application().Restore();
          return 0;
        default:
          break;
      }
      break;
    case WM_ACTIVATE:
      // The taskbar activates this window: the keyboard belongs to the main form.
      if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd)) {
        if (TForm* main = Application().MainForm(); main && main->Visible()) {
          SetActiveWindow(main->Handle());
        }
      }
      return 0;
    case WM_CLOSE:
      // The taskbar's Close: the main form's own close decides, and may refuse (a form busy
      // with a task that must not be cut short).
      if (TForm* main = Application().MainForm(); main && main->CloseQuery()) {
        PostMessageW(main->Handle(), WM_CLOSE, 0, 0);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  while (!terminated_ && HandleMessage()) {
  }
}

bool TApplication::DispatchOne(const MSG& message) {
  if (message.message == WM_QUIT) {
    terminated_ = true;
    return false;
  }
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST &&
      HandleDialogKeys(message)) {
    return true;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
}

// The keyboard of a dialog box, on our forms: Enter presses the default button (the focused
// button, or the form's Default one) and Escape the Cancel one, both as a click does; Tab and
// Shift+Tab go round the form's tab stops; the dialog manager does the rest: the arrows, and
// the button whose caption holds the mnemonic of Alt+letter. A control that asks for every key
// (a multi-line text) keeps Enter, Escape and Tab.
bool TApplication::HandleDialogKeys(const MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root));
  if (!form || !IsWindowEnabled(root)) return false;
  if (message.message == WM_KEYDOWN &&
      (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
    const LRESULT wanted = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam,
                                        reinterpret_cast<LPARAM>(&message));
    if (wanted & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    if ((GetKeyState(VK_SHIFT) | GetKeyState(VK_CONTROL) | GetKeyState(VK_MENU)) & 0x8000) {
      return false;
    }
    return form->OfferDialogKey(static_cast<UINT>(message.wParam));
  }
  // Tab the same way whatever the dialog manager makes of nested panels.
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
      !(SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam,
                     reinterpret_cast<LPARAM>(&message)) &
        (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) &&
      !((GetKeyState(VK_CONTROL) | GetKeyState(VK_MENU)) & 0x8000)) {
    form->Tab((GetKeyState(VK_SHIFT) & 0x8000) != 0);
    return true;
  }
  return IsDialogMessageW(root, const_cast<MSG*>(&message)) != FALSE;
}

void TApplication::ProcessMessages() {
  // A long task pumps between every two steps and mostly finds nothing: asking whether anything
  // waits is one question to the system, where an empty PeekMessage costs several under Wine.
  if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) return;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!DispatchOne(message)) {
      // The loop that owns the application's end must still see the quit request.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
  }
}

namespace {

// The window's own close box and Alt+F4 reach us as these, as do the taskbar's "Close window".
bool IsUserRequest(const MSG& message) {
  const UINT m = message.message;
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
         (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) || m == WM_CLOSE ||
         (m == WM_SYSCOMMAND && (message.wParam & 0xFFF0) == SC_CLOSE);
}

}  // namespace

void TApplication::ProcessMessagesDuringWork() {
  if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) return;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      terminated_ = true;
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (IsUserRequest(message)) continue;
    DispatchMessageW(&message);
  }
}

bool TApplication::HandleMessage() {
  if (terminated_) return false;
  MSG message;
  if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
    terminated_ = true;
    return false;
  }
  return DispatchOne(message);
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ClearTermination() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  terminated_ = false;
}

void TApplication::HandleException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::runtime_error("Erreur inconnue"));
  }
}

void TApplication::ShowException(const std::exception& error) {
  ShowMessageBox(ErrorMessageText(error.what()), title_, MB_OK | MB_ICONSTOP);
}

void TApplication::FormDestroyed(TForm* form) {
  if (mainForm_ == form) {
    mainForm_ = nullptr;
    ShowApplicationWindow(false);
  }
}

}  // namespace patchpav
