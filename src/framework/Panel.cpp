#include "framework/Panel.h"

#include "framework/Utf.h"

namespace patchpav {

namespace {

TControlParams WindowParams(const TPanelParams& params) {
  return {.Left = params.Left,
          .Top = params.Top,
          .Width = params.Width,
          .Height = params.Height,
          .Caption = params.Caption,
          .Style = WS_VISIBLE | (params.BorderSingle ? WS_BORDER : 0u)};
}

void FillLine(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  RECT line{left, top, right, bottom};
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
}

}  // namespace

void DrawBevel(HDC dc, RECT& rect, TBevelCut cut, int width) {
  if (cut == TBevelCut::bvNone) return;
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF dark = GetSysColor(COLOR_BTNSHADOW);
  COLORREF topLeft = cut == TBevelCut::bvRaised ? light : dark;
  COLORREF bottomRight = cut == TBevelCut::bvRaised ? dark : light;
  for (int i = 0; i < width; ++i) {
    FillLine(dc, rect.left, rect.top, rect.right, rect.top + 1, topLeft);
    FillLine(dc, rect.left, rect.top, rect.left + 1, rect.bottom, topLeft);
    FillLine(dc, rect.left, rect.bottom - 1, rect.right, rect.bottom, bottomRight);
    FillLine(dc, rect.right - 1, rect.top, rect.right, rect.bottom, bottomRight);
    InflateRect(&rect, -1, -1);
  }
}

TPanel::TPanel(TComponent* owner, TWinControl* parent, const TPanelParams& params)
    : TWinControl(owner, parent, WindowParams(params)),
      alignment_(params.Alignment),
      bevelOuter_(params.BevelOuter),
      bevelInner_(params.BevelInner),
      bevelWidth_(params.BevelWidth),
      borderWidth_(params.BorderWidth) {
  SetAlign(params.Align);
}

void TPanel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Invalidate();
}

int TPanel::BevelInset() const {
  int inset = borderWidth_;
  if (bevelOuter_ != TBevelCut::bvNone) inset += bevelWidth_;
  if (bevelInner_ != TBevelCut::bvNone) inset += bevelWidth_;
  return inset;
}

RECT TPanel::AlignmentArea() const {
  RECT area = TWinControl::AlignmentArea();
  InflateRect(&area, -BevelInset(), -BevelInset());
  return area;
}

void TPanel::Paint(HDC dc) {
  RECT rect;
  GetClientRect(Handle(), &rect);
  DrawBevel(dc, rect, bevelOuter_, bevelWidth_);
  InflateRect(&rect, -borderWidth_, -borderWidth_);
  DrawBevel(dc, rect, bevelInner_, bevelWidth_);
  std::wstring caption = Utf8ToWide(Caption());
  if (caption.empty()) return;
  SelectionUndo font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextRgb(Font().Color));
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  format |= alignment_ == TAlignment::taLeftJustify    ? DT_LEFT
            : alignment_ == TAlignment::taRightJustify ? DT_RIGHT
                                                       : DT_CENTER;
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, format);
}

}  // namespace patchpav
