#include "framework/Gauge.h"

#include <algorithm>

#include "framework/Utf.h"

namespace patchpav {

namespace {

void FillArea(HDC dc, const RECT& rect, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// The percentage is drawn in the text colour on black in a layer of its own, and the layer is
// combined with XOR: where the letters are, the picture's colours are inverted (with white
// letters), elsewhere the picture stays as it is. So the text reads over both parts of the bar.
void InvertPercentText(HDC dc, const RECT& rect, int percent, HFONT font, COLORREF textColor) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  DibBitmap layer(width, height);
  RECT area{0, 0, width, height};
  FillArea(layer.Dc(), area, RGB(0, 0, 0));
  SelectionUndo selectedFont(layer.Dc(), font);
  SetBkMode(layer.Dc(), TRANSPARENT);
  SetTextColor(layer.Dc(), textColor);
  std::wstring text = Utf8ToWide(GaugePercentText(percent));
  DrawTextW(layer.Dc(), text.c_str(), static_cast<int>(text.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  BitBlt(dc, rect.left, rect.top, width, height, layer.Dc(), 0, 0, SRCINVERT);
}

}  // namespace

void PaintGaugePicture(HDC dc, int width, int height, const GaugeModel& model, HFONT font,
                       COLORREF textColor) {
  RECT rect{0, 0, width, height};
  if (model.BorderStyle() == TGaugeBorder::bsSingle) {
    FillArea(dc, rect, RGB(0, 0, 0));
    InflateRect(&rect, -1, -1);
  }
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  FillArea(dc, rect, ColorToRgb(model.BackColor()));
  int percent = model.PercentDone();
  switch (model.Kind()) {
    case TGaugeKind::gkHorizontalBar: {
      // One more than the width, so that 100% covers the last column too.
      int span = rect.right - rect.left + 1;
      int filled = std::min(span, span * percent / 100);
      if (filled >= 1) {
        RECT bar{rect.left, rect.top, std::min<LONG>(rect.right, rect.left + filled), rect.bottom};
        FillArea(dc, bar, ColorToRgb(model.ForeColor()));
      }
      break;
    }
    case TGaugeKind::gkVerticalBar: {
      int span = rect.bottom - rect.top + 1;
      int filled = std::min(span, span * percent / 100);
      if (filled >= 1) {
        RECT bar{rect.left, std::max<LONG>(rect.top, rect.bottom - filled), rect.right,
                 rect.bottom};
        FillArea(dc, bar, ColorToRgb(model.ForeColor()));
      }
      break;
    }
    default:
      // The text, pie and needle kinds show the percentage as text only.
      break;
  }
  if (model.ShowText()) InvertPercentText(dc, rect, percent, font, textColor);
}

TGauge::TGauge(TComponent* owner, TWinControl* parent, const TGaugeParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Style = WS_VISIBLE}) {
  SetAlign(params.Align);
}

void TGauge::Repaint(bool changed) {
  if (!changed) return;
  ++repaintRequests_;
  InvalidateRect(Handle(), nullptr, FALSE);
}

DibBitmap TGauge::RenderPicture() const {
  DibBitmap picture(ClientWidth(), ClientHeight());
  PaintGaugePicture(picture.Dc(), picture.Width(), picture.Height(), model_, FontHandle(),
                    ColorToRgb(Font().Color));
  return picture;
}

LRESULT TGauge::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the picture covers everything
    case WM_PAINT: {
      PaintDc dc(Handle());
      DibBitmap picture = RenderPicture();
      BitBlt(dc.Get(), 0, 0, picture.Width(), picture.Height(), picture.Dc(), 0, 0, SRCCOPY);
      return 0;
    }
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace patchpav
