#include "framework/Button.h"

namespace patchpav {

TButton::TButton(TComponent* owner, TWinControl* parent, const TButtonParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Caption = params.Caption,
                   .Style = params.Visible ? WS_VISIBLE : 0u}) {
  SetFont(params.Font);
  button_ = NativeChild(*this, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, params.Caption);
  SetEnabled(params.Enabled);
}

LRESULT TButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && reinterpret_cast<HWND>(lParam) == button_.Get()) {
    if (HIWORD(wParam) == BN_CLICKED) Click();
    return 0;
  }
  if (message == WM_SIZE || message == WM_ENABLE || message == WM_SETTEXT) {
    LRESULT result = TWinControl::HandleMessage(message, wParam, lParam);
    button_.Follow(message, wParam, lParam);
    return result;
  }
  return TWinControl::HandleMessage(message, wParam, lParam);
}

}  // namespace patchpav
