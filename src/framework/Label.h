#pragma once

#include "framework/WinControl.h"

namespace patchpav {

struct TLabelParams {
  int Left = 0;
  int Top = 0;
  int Width = 65;
  int Height = 13;
  TAlign Align = TAlign::alNone;
  std::string Caption{};
  TAlignment Alignment = TAlignment::taLeftJustify;
};

// A text on the background of its own colour (the parent's colour unless set).
class TLabel : public TWinControl {
 public:
  TLabel(TComponent* owner, TWinControl* parent, const TLabelParams& params = {});

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);

 protected:
  void Paint(HDC dc) override;

 private:
  TAlignment alignment_;
};

}  // namespace patchpav
