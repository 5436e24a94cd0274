#pragma once

#include <vector>

#include "framework/WinControl.h"

namespace patchpav {

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };

// The buttons of the title bar; the window menu carries the close box.
struct TBorderIcons {
  bool SystemMenu = true;
  bool Minimize = true;
  bool Maximize = true;
};

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

struct TFormParams {
  std::string Caption{};
  int ClientWidth = 300;
  int ClientHeight = 200;
  TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
  TBorderIcons BorderIcons{};
  bool ScreenCenter = false;  // centred on the screen when first shown
  TFont Font{};
};

// A top-level window of the application. Created hidden; Show calls FormShow before the window
// appears, as a show event does. Close hides the form; closing the main form ends the
// application.
class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner, const TFormParams& params = {});
  ~TForm() override;

  void Show();
  void Hide() { SetVisible(false); }
  // Does nothing when CloseQuery refuses.
  void Close();
  // Whether the form may close now; every close request (Close, WM_CLOSE, the taskbar's Close
  // of the application window) asks it first.
  virtual bool CloseQuery() { return true; }
  // Runs the form modally: the application's other windows are disabled until ModalResult is
  // set (or the application terminates, which gives mrCancel).
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }

  // Offers Enter or Escape to the form's controls, in tab order; true when one acted on it.
  bool OfferDialogKey(UINT key);
  // Moves the keyboard to the next (or previous) tab stop that it can reach, around the end.
  void Tab(bool backwards);
  // The control that gets the keyboard when the form is next active (now, if it is), in place
  // of the first tab stop.
  void SetActiveControl(TWinControl& control);

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  const TBorderIcons& BorderIcons() const { return borderIcons_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void FormShow() {}

 private:
  void ApplyFrame();
  void CentreOnScreen();
  // Where the keyboard goes when the form becomes active: back to the control that had it, or
  // else to the first tab stop, as in a dialog box.
  void RestoreFocus();
  // The visible and enabled windows with WS_TABSTOP, in tab order, nested panels included.
  std::vector<HWND> TabStops() const;
  void MoveFocus(WPARAM wParam, LPARAM lParam);

  TBorderStyle borderStyle_;
  TBorderIcons borderIcons_;
  int clientWidth_;
  int clientHeight_;
  bool screenCenter_;
  bool shownOnce_ = false;
  bool modal_ = false;
  HWND lastFocus_ = nullptr;
  bool restoringFocus_ = false;
  int modalResult_ = mrNone;
};

}  // namespace patchpav
