#pragma once

#include "framework/NativeChild.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TAnimateParams {
  int Left = 0;
  int Top = 0;
  int Width = 100;
  int Height = 80;
  int StartFrame = 1;  // frames numbered from 1
  int StopFrame = 0;   // 0: the clip's last frame
  bool Visible = true;
};

// The system's animation control (centred, transparent) playing the standard copy-files clip of
// shell32, from StartFrame to StopFrame and again until stopped.
//
// Active() is our own state: the control itself cannot say whether it plays (under Wine
// ACM_ISPLAYING answers 0 whatever happens).
class TAnimate : public TWinControl {
 public:
  TAnimate(TComponent* owner, TWinControl* parent, const TAnimateParams& params = {});
  ~TAnimate() override;

  bool Active() const { return active_; }
  void SetActive(bool active);
  // Whether the clip could be opened (the control shows nothing without it).
  bool ClipOpen() const { return clipOpen_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ModuleHandle shell32_;
  NativeChild animation_;
  int startFrame_;
  int stopFrame_;
  bool clipOpen_ = false;
  bool active_ = false;
  GdiObject brush_;
};

}  // namespace patchpav
