#include "framework/Application.h"

#include <windows.h>

#include "framework/MessageDialogs.h"

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
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
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
  if (mainForm_ == form) mainForm_ = nullptr;
}

}  // namespace patchpav
