#pragma once

#include "framework/Picture.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TImageParams {
  int Left = 0;
  int Top = 0;
  int Width = 105;
  int Height = 105;
  int ResourceId = 0;  // the bitmap resource shown
  bool Center = false;
  bool Transparent = false;
  bool Visible = true;
};

// A picture on the background of its parent.
class TImage : public TWinControl {
 public:
  TImage(TComponent* owner, TWinControl* parent, const TImageParams& params = {});

  const TPicture& Picture() const { return picture_; }

 protected:
  void Paint(HDC dc) override;

 private:
  TPicture picture_;
  bool center_;
  bool transparent_;
};

}  // namespace patchpav
