#include "framework/SpeedButton.h"

namespace patchpav {

TSpeedButton::TSpeedButton(TComponent* owner, TWinControl* parent, const TSpeedButtonParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Style = WS_VISIBLE | (params.TabStop ? WS_TABSTOP : 0u)}),
      glyph_(params.GlyphResourceId) {}

LRESULT TSpeedButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      down_ = true;
      SetCapture(Handle());
      Invalidate();
      return 0;
    case WM_LBUTTONUP: {
      bool wasDown = down_;
      down_ = false;
      if (GetCapture() == Handle()) ReleaseCapture();
      Invalidate();
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      RECT client;
      GetClientRect(Handle(), &client);
      // Released elsewhere: the user changed their mind.
      if (wasDown && PtInRect(&client, point)) Click();
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        down_ = true;
        Invalidate();
        return 0;
      }
      break;
    case WM_KEYUP:
      if (wParam == VK_SPACE && down_) {
        down_ = false;
        Invalidate();
        Click();
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      if (down_) {
        down_ = false;
        Invalidate();
      }
      return 0;
    default:
      break;
  }
  return TWinControl::HandleMessage(message, wParam, lParam);
}

bool TSpeedButton::DialogKey(UINT key) {
  if (key != VK_RETURN || GetFocus() != Handle() || !CanFocus()) return false;
  Click();
  return true;
}

void TSpeedButton::Paint(HDC dc) {
  RECT rect;
  GetClientRect(Handle(), &rect);
  DrawEdge(dc, &rect, down_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  int offset = down_ ? 1 : 0;
  int x = (rect.right - glyph_.Width()) / 2 + offset;
  int y = (rect.bottom - glyph_.Height()) / 2 + offset;
  glyph_.Draw(dc, x, y, true);
  if (GetFocus() == Handle()) {
    RECT focus = rect;
    InflateRect(&focus, -2, -2);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace patchpav
