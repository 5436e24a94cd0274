#pragma once

#include <windows.h>

#include "framework/BitBtn.h"
#include "framework/Bitmap.h"
#include "ui/XPTheme.h"
#include "ui/theme_logic/ThemedButtonLogic.h"

namespace patchpav {

// The themed push button: while visual styles are active it draws face, frame and caption
// through the visual-style library and follows the mouse (hot state); otherwise it draws exactly
// as TBitBtn. There is no form designer in this framework, so "outside the designer" always
// holds.
//
// FHasFocus follows focus enter and exit always, and the button repaints once after it changes;
// FMouseOver follows mouse enter and leave only while styles are active, and each change of it
// repaints the button at once. A theme handle lives for one drawing only.
class TXPBitBtn : public TBitBtn {
 public:
  TXPBitBtn(TComponent* owner, TWinControl* parent, const TControlParams& params);

  bool HasFocus() const { return FHasFocus; }
  bool MouseOver() const { return FMouseOver; }
  // The state that a styled drawing with this item state would use now.
  ButtonDrawingState DrawingState(UINT itemState) const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DoEnter() override;
  void DoExit() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;

 private:
  void DrawStyled(HTHEME theme, const DRAWITEMSTRUCT& item);

  bool FHasFocus = false;
  bool FMouseOver = false;
};

// Draws the image of the glyph strip that the state selects at position, transparent where the
// glyph has its transparent colour; a disabled one-image glyph is drawn grey.
void DrawStateGlyph(const TBitmap& glyph, HDC dc, POINT position, int numGlyphs, int state,
                    bool enabled);

// A grey copy of the bitmap (each pixel the mean of its components); the caller owns it.
TBitmap MakeGrayBitmap(const TBitmap& bitmap);

}  // namespace patchpav
