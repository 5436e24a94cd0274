#pragma once

#include <stdexcept>
#include <string>

#include "framework/Color.h"

namespace patchpav {

// A value that a property refuses, for example a gauge maximum below its minimum.
class EInvalidValue : public std::runtime_error {
 public:
  explicit EInvalidValue(const std::string& message) : std::runtime_error(message) {}
};

enum class TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum class TGaugeBorder { bsNone, bsSingle };

// The state of a gauge without its window, so that its arithmetic is tested on every platform.
//
// Invariants, after every public call:
//   1. MinValue <= MaxValue.
//   2. MinValue <= Progress <= MaxValue.
// Every setter returns whether the picture changed, that is whether the gauge must be repainted.
// Setting a property to the value it holds changes nothing and asks for no repaint; a new
// Progress asks for a repaint only when the whole percentage moves, so a long run repaints at
// most once per percent.
class GaugeModel {
 public:
  int MinValue() const { return minValue_; }
  int MaxValue() const { return maxValue_; }
  int Progress() const { return progress_; }
  TGaugeKind Kind() const { return kind_; }
  bool ShowText() const { return showText_; }
  TGaugeBorder BorderStyle() const { return borderStyle_; }
  TColorValue ForeColor() const { return foreColor_; }
  TColorValue BackColor() const { return backColor_; }

  // (Progress - MinValue) * 100 / (MaxValue - MinValue) truncated; 0 for an empty range.
  int PercentDone() const;

  // A value outside the range that the other bound allows is refused with EInvalidValue,
  // except while a form is being loaded (loading = true), where the design values arrive one
  // by one and may cross for a moment.
  bool SetMinValue(int value, bool loading = false);
  bool SetMaxValue(int value, bool loading = false);
  // Clamped into MinValue..MaxValue.
  bool SetProgress(int value);
  bool SetKind(TGaugeKind value);
  bool SetShowText(bool value);
  bool SetBorderStyle(TGaugeBorder value);
  bool SetForeColor(TColorValue value);
  bool SetBackColor(TColorValue value);

 private:
  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
  TGaugeKind kind_ = TGaugeKind::gkHorizontalBar;
  bool showText_ = true;
  TGaugeBorder borderStyle_ = TGaugeBorder::bsSingle;
  TColorValue foreColor_ = RgbColor(0, 0, 0);
  TColorValue backColor_ = RgbColor(255, 255, 255);
};

// The gauge's text for a percentage: "42%".
std::string GaugePercentText(int percent);

}  // namespace patchpav
