#pragma once

#include "framework/Picture.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TSpeedButtonParams {
  int Left = 0;
  int Top = 0;
  int Width = 25;
  int Height = 25;
  int GlyphResourceId = 0;  // the bitmap drawn in the middle, transparent
};

// A button that takes no focus and shows a picture: raised at rest, sunken while the mouse
// button is held down over it. OnClick runs when the button is released over it.
class TSpeedButton : public TWinControl {
 public:
  TSpeedButton(TComponent* owner, TWinControl* parent, const TSpeedButtonParams& params = {});

  const TPicture& Glyph() const { return glyph_; }
  bool Down() const { return down_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Paint(HDC dc) override;

 private:
  TPicture glyph_;
  bool down_ = false;
};

}  // namespace patchpav
