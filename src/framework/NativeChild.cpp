#include "framework/NativeChild.h"

#include <stdexcept>

#include "framework/Utf.h"

namespace patchpav {

NativeChild::NativeChild(TWinControl& host, const wchar_t* className, DWORD style,
                         const std::string& text) {
  RECT client;
  GetClientRect(host.Handle(), &client);
  HWND hwnd = CreateWindowExW(
      0, className, Utf8ToWide(text).c_str(), style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
      client.right, client.bottom, host.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) throw std::runtime_error("Impossible de créer le contrôle");
  view_ = WindowView(hwnd);
  SetFont(host.FontHandle());
}

void NativeChild::Follow(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND child = view_.Get();
  if (!child) return;
  switch (message) {
    case WM_SIZE:
      MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      break;
    case WM_ENABLE:
      EnableWindow(child, static_cast<BOOL>(wParam));
      break;
    case WM_SETTEXT:
      SetWindowTextW(child, reinterpret_cast<LPCWSTR>(lParam));
      break;
    default:
      break;
  }
}

void NativeChild::SetFont(HFONT font) {
  if (view_) SendMessageW(view_.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

}  // namespace patchpav
