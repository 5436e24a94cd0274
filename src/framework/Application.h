#pragma once

#include <exception>
#include <string>

#include "framework/Component.h"
#include "framework/Form.h"
#include "framework/Handles.h"

namespace patchpav {

// The silent abort: thrown to leave a handler without any message. No handler reports it.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Opération abandonnée"; }
};
[[noreturn]] void Abort();

// The application object: its title, its forms (it owns them, the first created is the main
// form), the message loop, and the general error message for every error that no handler
// catches.
//
// The application has a window of its own, of no size, captioned with the title: it owns the
// main form, so the taskbar entry is the application's (named by the title) and not the main
// form's. It is shown with the main form and hidden with it; minimising the main form
// minimises this window and hides the forms, and restoring it from the taskbar brings them
// back.
class TApplication : public TComponent {
 public:
  TApplication() : TComponent(nullptr) {}
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);
  TForm* MainForm() const { return mainForm_; }
  // The application window, created on first use.
  HWND Handle();
  void ShowApplicationWindow(bool visible);
  // The window that a dialog shown now belongs to: the active window of this thread, else the
  // main form when it is on the screen, else the application window when it is shown. The
  // start-up questions come before the main form appears: they then sit under the taskbar
  // entry, which brings them back to the front, instead of floating without one.
  HWND DialogOwner();
  void Minimize();
  void Restore();

  // Creates a form owned by the application and points the given reference at it (the
  // application-wide instance); the first form created becomes the main form.
  template <class T>
  T& CreateForm(T*& reference) {
    T& form = CreateComponent<T>();
    reference = &form;
    if (!mainForm_) mainForm_ = &form;
    return form;
  }

  // Shows the main form and dispatches messages until Terminate.
  void Run();
  // Dispatches the messages that are waiting now, then returns.
  void ProcessMessages();
  // The same in the middle of a piece of work that must not be entered again (a table being
  // copied or scanned): the windows paint and answer Windows, but the user's keys, clicks and
  // requests to close are dropped, since any of them could start other work or end this one.
  void ProcessMessagesDuringWork();
  // Waits for one message and dispatches it; false when the application is to end.
  bool HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Forgets a request to terminate (and its pending quit message), for a fresh start of the
  // loop in the same process.
  void ClearTermination();

  // The general error message for an error that escaped a handler; EAbort is silent.
  void HandleException(std::exception_ptr error);
  void ShowException(const std::exception& error);

  void FormDestroyed(TForm* form);

 private:
  bool DispatchOne(const MSG& message);
  bool HandleDialogKeys(const MSG& message);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  std::string title_;
  WindowHandle handle_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
};

TApplication& Application();

// The text of the general error message: the error's text with a full stop added when it does
// not end with one.
std::string ErrorMessageText(const std::string& text);

}  // namespace patchpav
