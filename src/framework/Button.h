#pragma once

#include "framework/NativeChild.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TButtonParams {
  int Left = 0;
  int Top = 0;
  int Width = 75;
  int Height = 25;
  std::string Caption{};
  TFont Font{};
  bool Visible = true;
  bool Enabled = true;
};

// A push button: the system's BUTTON control, whose click runs OnClick. Its caption, enabled
// state and font are those of the control.
class TButton : public TWinControl {
 public:
  TButton(TComponent* owner, TWinControl* parent, const TButtonParams& params = {});

  HWND ButtonHandle() const { return button_.Get(); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  NativeChild button_;
};

}  // namespace patchpav
