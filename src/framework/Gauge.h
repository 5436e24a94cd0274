#pragma once

#include "framework/DibBitmap.h"
#include "framework/GaugeModel.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TGaugeParams {
  int Left = 0;
  int Top = 0;
  int Width = 100;
  int Height = 100;
  TAlign Align = TAlign::alNone;
};

// A percentage gauge. Its values and the decisions about repainting live in GaugeModel; this
// class paints the picture off screen and copies it to the window in one step, so it does not
// flicker.
class TGauge : public TWinControl {
 public:
  TGauge(TComponent* owner, TWinControl* parent, const TGaugeParams& params = {});

  const GaugeModel& Model() const { return model_; }
  int MinValue() const { return model_.MinValue(); }
  int MaxValue() const { return model_.MaxValue(); }
  int Progress() const { return model_.Progress(); }
  int PercentDone() const { return model_.PercentDone(); }
  void SetMinValue(int value) { Repaint(model_.SetMinValue(value)); }
  void SetMaxValue(int value) { Repaint(model_.SetMaxValue(value)); }
  void SetProgress(int value) { Repaint(model_.SetProgress(value)); }
  void SetKind(TGaugeKind kind) { Repaint(model_.SetKind(kind)); }
  void SetShowText(bool show) { Repaint(model_.SetShowText(show)); }
  void SetBorderStyle(TGaugeBorder border) { Repaint(model_.SetBorderStyle(border)); }
  void SetForeColor(TColorValue color) { Repaint(model_.SetForeColor(color)); }
  void SetBackColor(TColorValue color) { Repaint(model_.SetBackColor(color)); }

  // How many times the gauge asked to be repainted: a long run asks once per percent.
  int RepaintRequests() const { return repaintRequests_; }
  // The picture that the gauge shows, composed as it is for the screen.
  DibBitmap RenderPicture() const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Repaint(bool changed);

  GaugeModel model_;
  int repaintRequests_ = 0;
};

// Paints a gauge of the given state into the width x height area at the origin of dc.
void PaintGaugePicture(HDC dc, int width, int height, const GaugeModel& model, HFONT font,
                       COLORREF textColor);

}  // namespace patchpav
