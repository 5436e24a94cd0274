#pragma once

#include <windows.h>

#include <string>

#include "framework/WinControl.h"

namespace patchpav {

// A system control (BUTTON, EDIT, SysAnimate32...) living inside one of our windows, which
// fills it. The host window receives what the system control tells its parent (commands,
// colour requests), follows its size and passes on its enabled state and text, so the rest of
// the framework treats it as any other TWinControl. The system destroys the child with the host;
// the host only keeps a view of it.
class NativeChild {
 public:
  NativeChild() = default;
  NativeChild(TWinControl& host, const wchar_t* className, DWORD style, const std::string& text);

  HWND Get() const { return view_.Get(); }
  // The host's messages that concern the child: WM_SIZE, WM_ENABLE, WM_SETTEXT, WM_SETFONT.
  // Returns true when the message was fully handled.
  void Follow(UINT message, WPARAM wParam, LPARAM lParam);
  void SetFont(HFONT font);

 private:
  WindowView view_;
};

}  // namespace patchpav
