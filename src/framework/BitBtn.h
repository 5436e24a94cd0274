#pragma once

#include <windows.h>

#include "framework/Bitmap.h"
#include "framework/ButtonLayout.h"
#include "framework/WinControl.h"

namespace patchpav {

enum class TButtonStyle { bsAutoDetect = 0, bsWin31 = 1, bsNew = 2 };
enum class TBitBtnKind {
  bkCustom,
  bkOK,
  bkCancel,
  bkHelp,
  bkYes,
  bkNo,
  bkClose,
  bkAbort,
  bkRetry,
  bkIgnore,
  bkAll
};

// The bitmap push button: a system push button that this object draws itself (BS_OWNERDRAW),
// with a glyph strip of one to four images beside its caption.
//
// The system button keeps the pressed and focus states and sends its draw requests to the
// parent, which passes them back here (WM_DRAWITEM); its click comes back the same way
// (WM_COMMAND). The framework's notifications of this control, for descendants: DoEnter and
// DoExit on focus, MouseEnter and MouseLeave when the pointer comes in and goes (tracked with
// TrackMouseEvent), and DrawItem for every draw request.
class TBitBtn : public TWinControl {
 public:
  // params.Style and params.SystemClass are the button's own.
  TBitBtn(TComponent* owner, TWinControl* parent, const TControlParams& params);

  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }

  const TBitmap& Glyph() const { return glyph_; }
  void SetGlyph(TBitmap glyph);
  int NumGlyphs() const { return numGlyphs_; }
  // 1..4; another value is refused with an error.
  void SetNumGlyphs(int count);
  TButtonLayout Layout() const { return layout_; }
  int Margin() const { return margin_; }
  int Spacing() const { return spacing_; }
  TBiDiMode BiDiMode() const { return biDiMode_; }
  TButtonStyle Style() const { return style_; }
  void SetStyle(TButtonStyle style) { style_ = style; }
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind kind) { kind_ = kind; }

  // Off-screen painting: each drawing is composed in a memory picture and copied in one step.
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value) { doubleBuffered_ = value; }

  // The default button that would take the Enter key now: this one while it has the focus, or
  // the form's Default button while no other button has it.
  bool IsActiveDefault() const;
  // Enter clicks the active default button, Escape a Cancel button, while the keyboard can
  // reach it.
  bool DialogKey(UINT key) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Click() override;
  virtual void DoEnter() {}
  virtual void DoExit() {}
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  // One draw request, into item.hDC (the memory picture when double buffered).
  virtual void DrawItem(const DRAWITEMSTRUCT& item);
  // The classic look: raised or pressed frame, laid-out glyph and caption, focus rectangle.
  void DrawClassic(const DRAWITEMSTRUCT& item);

 private:
  void DrawRequest(const DRAWITEMSTRUCT& item);
  void DrawClassicGlyph(HDC dc, int x, int y, bool enabled, bool pressed) const;

  TBitmap glyph_;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  TBiDiMode biDiMode_ = bdLeftToRight;
  TButtonStyle style_ = TButtonStyle::bsAutoDetect;
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = 0;
  bool doubleBuffered_ = false;
  bool mouseInside_ = false;
};

}  // namespace patchpav
