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
  bool TabStop = false;     // reached by Tab; then Space or Enter presses it
};

// A button that shows a picture: raised at rest, sunken while the mouse button is held down
// over it. OnClick runs when the button is released over it. It takes no focus from the mouse;
// a tab stop takes it from the keyboard, shows it with a focus rectangle, and is pressed with
// Space (as a push button) or Enter.
class TSpeedButton : public TWinControl {
 public:
  TSpeedButton(TComponent* owner, TWinControl* parent, const TSpeedButtonParams& params = {});

  const TPicture& Glyph() const { return glyph_; }
  bool DialogKey(UINT key) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Paint(HDC dc) override;

 private:
  TPicture glyph_;
  bool down_ = false;
};

}  // namespace patchpav
