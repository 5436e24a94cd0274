#include "framework/SpeedButton.h"

namespace patchpav {

TSpeedButton::TSpeedButton(TComponent* owner, TWinControl* parent, const TSpeedButtonParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Style = WS_VISIBLE}),
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
    case WM_CAPTURECHANGED:
      if (down_) {
        down_ = false;
        Invalidate();
      }
      return 0;
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

void TSpeedButton::Paint(HDC dc) {
  RECT rect;
  GetClientRect(Handle(), &rect);
  DrawEdge(dc, &rect, down_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  int offset = down_ ? 1 : 0;
  int x = (rect.right - glyph_.Width()) / 2 + offset;
  int y = (rect.bottom - glyph_.Height()) / 2 + offset;
  glyph_.Draw(dc, x, y, true);
}

}  // namespace patchpav
