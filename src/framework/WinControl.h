#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Color.h"
#include "framework/Component.h"
#include "framework/Handles.h"

namespace patchpav {

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TCursor { crDefault, crArrow, crHourGlass };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A font by description; each control makes its own GDI font from it.
struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;  // negative: character height in pixels
  TColorValue Color = clBlack;
  bool Bold = false;
  bool operator==(const TFont&) const = default;
};

// The resolved COLORREF of a colour (system colours looked up now).
COLORREF ColorToRgb(TColorValue color);

// High contrast (SPI_GETHIGHCONTRAST) asks every program to draw with the system's colours: a
// fixed black text on a themed face would vanish on the black face of High Contrast Black. The
// colours that controls paint with go through these two, which give the control's own colour
// normally and, under high contrast, the button face and the button text of the user's scheme,
// the pair that every control here stands on.
bool HighContrastOn();
COLORREF BackgroundRgb(TColorValue color);
COLORREF TextRgb(TColorValue color);
// Tests replace the system's answer to look at the window under high contrast, which the test
// bed cannot switch on; returns the previous query.
using HighContrastQuery = bool (*)();
HighContrastQuery SetHighContrastQuery(HighContrastQuery query);

// What a control's window is created with.
struct TControlParams {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  std::string Caption{};
  DWORD Style = 0;
  DWORD ExStyle = 0;
  // A system control class (L"BUTTON") instead of the framework's own window class: the window
  // is subclassed so that its messages reach HandleMessage, and what the control does not handle
  // goes to the class's own procedure.
  const wchar_t* SystemClass = nullptr;
};

// A control with a window of its own. This is the one place where window messages arrive: the
// object travels to the window in lpCreateParams, is stored with it at WM_NCCREATE, and every
// message reaches the virtual HandleMessage of that object. Exceptions never cross the
// system's callback: a handler's error reaches the application's general error message.
//
// The control owns its window (WindowHandle) and destroys it with itself; a child window that
// the system destroys with its parent first gives its handle up at WM_NCDESTROY.
// A system control's notifications to its parent (WM_COMMAND, WM_DRAWITEM) are passed back to
// the control object that owns the child window, as the same message.
// Child controls with an alignment are laid out in the parent's client area, top bands first in
// the order they were created, then bottom bands, left and right bands, then the client filler.
class TWinControl : public TComponent {
 public:
  // parent null: a top-level window.
  TWinControl(TComponent* owner, TWinControl* parent, const TControlParams& params);
  ~TWinControl() override;

  HWND Handle() const { return handle_.Get(); }
  TWinControl* Parent() const { return parent_; }

  void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const;  // in the parent's client coordinates
  int Width() const;
  int Height() const;
  int ClientWidth() const;
  int ClientHeight() const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const;
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const;
  void SetEnabled(bool enabled);

  std::string Caption() const;
  void SetCaption(const std::string& caption);

  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TColorValue Color() const { return color_; }
  void SetColor(TColorValue color);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  HFONT FontHandle() const { return static_cast<HFONT>(fontHandle_.Get()); }

  // Visible and enabled, and so is every window it sits in: the keyboard can reach it.
  bool CanFocus() const;
  // Enter or Escape, offered to each control of the active form before the window under the
  // focus sees it; true when the control acted on it (a button clicked).
  virtual bool DialogKey(UINT /*key*/) { return false; }

  // The control object of one of our windows; null for a window that is not ours.
  static TWinControl* FromHandle(HWND hwnd);

  // Puts the window on top of its siblings (of the other top-level windows for a form).
  void BringToFront();
  void Invalidate();
  // Paints what is invalid now, without waiting for the message loop.
  void Update();

  std::function<void()> OnClick;

 protected:
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
  // The background is filled with Color before Paint; Paint draws the rest.
  virtual void Paint(HDC /*dc*/) {}
  virtual void Click();
  // The part of the client area that aligned children share (inside borders and bevels).
  virtual RECT AlignmentArea() const;
  void Realign();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ChildAlignmentChanged() { Realign(); }

  TWinControl* parent_;
  WindowHandle handle_;
  WNDPROC systemProc_ = nullptr;        // the system class's procedure of a subclassed control
  std::vector<TWinControl*> children_;  // in creation order, for alignment
  TAlign align_ = TAlign::alNone;
  TCursor cursor_ = TCursor::crDefault;
  TColorValue color_ = clBtnFace;
  TFont font_;
  GdiObject fontHandle_;
  bool realigning_ = false;
};

}  // namespace patchpav
