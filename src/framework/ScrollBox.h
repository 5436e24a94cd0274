#pragma once

#include "framework/NativeChild.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TScrollBoxParams {
  TAlign Align = TAlign::alNone;
  int VertBarSize = 17;  // width of the vertical bar, in pixels
  int Increment = 8;     // pixels scrolled by one arrow press
};

// A container whose vertical bar appears only when its controls reach below its bottom edge
// (UpdateScrollRange, called once they are laid out); scrolling moves them.
class TScrollBox : public TWinControl {
 public:
  TScrollBox(TComponent* owner, TWinControl* parent, const TScrollBoxParams& params = {});

  void UpdateScrollRange();
  bool VertBarVisible() const;
  int VertBarSize() const { return barSize_; }
  int ScrollPosition() const { return position_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  RECT AlignmentArea() const override;

 private:
  int ContentHeight() const;
  void ScrollTo(int position);

  NativeChild bar_;
  int barSize_;
  int increment_;
  int position_ = 0;
};

}  // namespace patchpav
