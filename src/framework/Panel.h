#pragma once

#include "framework/WinControl.h"

namespace patchpav {

enum class TBevelCut { bvNone, bvLowered, bvRaised };

struct TPanelParams {
  int Left = 0;
  int Top = 0;
  int Width = 185;
  int Height = 41;
  TAlign Align = TAlign::alNone;
  std::string Caption{};
  TAlignment Alignment = TAlignment::taCenter;
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  TBevelCut BevelInner = TBevelCut::bvNone;
  int BevelWidth = 1;
  int BorderWidth = 0;
  bool BorderSingle = false;  // a flat one-pixel line around the panel
};

// A rectangle with bevels and a caption drawn on one line, vertically centred.
class TPanel : public TWinControl {
 public:
  TPanel(TComponent* owner, TWinControl* parent, const TPanelParams& params = {});

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  TBevelCut BevelInner() const { return bevelInner_; }

 protected:
  void Paint(HDC dc) override;
  RECT AlignmentArea() const override;

 private:
  int BevelInset() const;

  TAlignment alignment_;
  TBevelCut bevelOuter_;
  TBevelCut bevelInner_;
  int bevelWidth_;
  int borderWidth_;
};

// Draws a bevel of the given width inside rect and moves rect inside it.
void DrawBevel(HDC dc, RECT& rect, TBevelCut cut, int width);

}  // namespace patchpav
