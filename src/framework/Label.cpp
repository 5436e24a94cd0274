#include "framework/Label.h"

#include "framework/Utf.h"

namespace patchpav {

TLabel::TLabel(TComponent* owner, TWinControl* parent, const TLabelParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Caption = params.Caption,
                   .Style = WS_VISIBLE}),
      alignment_(params.Alignment) {
  SetAlign(params.Align);
}

void TLabel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Invalidate();
}

void TLabel::Paint(HDC dc) {
  RECT rect;
  GetClientRect(Handle(), &rect);
  std::wstring caption = Utf8ToWide(Caption());
  SelectionUndo font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextRgb(Font().Color));
  UINT format = DT_EXPANDTABS | DT_NOPREFIX;
  format |= alignment_ == TAlignment::taLeftJustify    ? DT_LEFT
            : alignment_ == TAlignment::taRightJustify ? DT_RIGHT
                                                       : DT_CENTER;
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, format);
}

}  // namespace patchpav
