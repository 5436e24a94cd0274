#pragma once

// Real key presses for window tests: they go into the system's input queue (SendInput) and reach
// the foreground window's thread as a keyboard would send them, and the application's own loop
// dispatches them. The windows must be in front: the programs that use this run alone.

#include <windows.h>

#include <vector>

#include "framework/Application.h"

namespace patchpav::testing {

namespace key_input {

inline thread_local WORD tAwaitedRelease = 0;
inline thread_local bool tReleased = false;

// Notes when the release of the awaited key leaves the queue.
inline LRESULT CALLBACK WatchReleases(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE &&
      (message->message == WM_KEYUP || message->message == WM_SYSKEYUP) &&
      message->wParam == tAwaitedRelease) {
    tReleased = true;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

inline INPUT KeyEvent(WORD key, bool release) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace key_input

// Presses key while the modifiers are held (VK_MENU for Alt, VK_SHIFT...), then lets the
// application dispatch messages until the last key has been released: everything the keys
// caused has then run. False when the system refused the input.
inline bool PressKey(WORD key, const std::vector<WORD>& modifiers = {}) {
  using namespace key_input;
  std::vector<INPUT> inputs;
  for (WORD modifier : modifiers) inputs.push_back(KeyEvent(modifier, false));
  inputs.push_back(KeyEvent(key, false));
  inputs.push_back(KeyEvent(key, true));
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
    inputs.push_back(KeyEvent(*it, true));
  }
  tAwaitedRelease = modifiers.empty() ? key : modifiers.front();
  tReleased = false;
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &WatchReleases, nullptr, GetCurrentThreadId());
  const UINT sent =
      SendInput(static_cast<UINT>(inputs.size()), inputs.data(), static_cast<int>(sizeof(INPUT)));
  if (sent == inputs.size()) {
    while (!tReleased && Application().HandleMessage()) {
    }
  }
  UnhookWindowsHookEx(hook);
  return sent == inputs.size();
}

// Brings a form in front, where the keyboard's input goes; true when it is there.
inline bool BringToForeground(HWND form) {
  SetForegroundWindow(form);
  Application().ProcessMessages();
  return GetForegroundWindow() == form;
}

}  // namespace patchpav::testing
