#include "framework/Image.h"

namespace patchpav {

TImage::TImage(TComponent* owner, TWinControl* parent, const TImageParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Style = params.Visible ? WS_VISIBLE : 0u}),
      picture_(params.ResourceId),
      center_(params.Center),
      transparent_(params.Transparent) {}

void TImage::Paint(HDC dc) {
  int x = 0;
  int y = 0;
  if (center_) {
    x = (ClientWidth() - picture_.Width()) / 2;
    y = (ClientHeight() - picture_.Height()) / 2;
  }
  picture_.Draw(dc, x, y, transparent_);
}

}  // namespace patchpav
