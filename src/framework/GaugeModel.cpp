#include "framework/GaugeModel.h"

#include <cstdio>
#include <limits>

namespace patchpav {

namespace {

std::string RangeMessage(long long low, long long high) {
  char text[96];
  std::snprintf(text, sizeof text, "La valeur doit être comprise entre %lld et %lld", low, high);
  return text;
}

template <class T>
bool Assign(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

int GaugeModel::PercentDone() const {
  if (maxValue_ == minValue_) return 0;
  // In floating point: the differences of two 32-bit bounds overflow a 32-bit product.
  double done = (static_cast<double>(progress_) - minValue_) * 100.0 /
                (static_cast<double>(maxValue_) - minValue_);
  return static_cast<int>(done);
}

bool GaugeModel::SetMinValue(int value, bool loading) {
  if (value == minValue_) return false;
  if (value > maxValue_) {
    if (!loading) {
      throw EInvalidValue(RangeMessage(static_cast<long long>(std::numeric_limits<int>::min()) + 1,
                                       static_cast<long long>(maxValue_) - 1));
    }
    maxValue_ = value;
  }
  minValue_ = value;
  if (progress_ < minValue_) progress_ = minValue_;
  return true;
}

bool GaugeModel::SetMaxValue(int value, bool loading) {
  if (value == maxValue_) return false;
  if (value < minValue_) {
    if (!loading) {
      throw EInvalidValue(
          RangeMessage(static_cast<long long>(minValue_) + 1, std::numeric_limits<int>::max()));
    }
    minValue_ = value;
  }
  maxValue_ = value;
  if (progress_ > maxValue_) progress_ = maxValue_;
  return true;
}

bool GaugeModel::SetProgress(int value) {
  if (value < minValue_) value = minValue_;
  if (value > maxValue_) value = maxValue_;
  if (value == progress_) return false;
  int before = PercentDone();
  progress_ = value;
  return PercentDone() != before;
}

bool GaugeModel::SetKind(TGaugeKind value) { return Assign(kind_, value); }
bool GaugeModel::SetShowText(bool value) { return Assign(showText_, value); }
bool GaugeModel::SetBorderStyle(TGaugeBorder value) { return Assign(borderStyle_, value); }
bool GaugeModel::SetForeColor(TColorValue value) { return Assign(foreColor_, value); }
bool GaugeModel::SetBackColor(TColorValue value) { return Assign(backColor_, value); }

std::string GaugePercentText(int percent) { return std::to_string(percent) + "%"; }

}  // namespace patchpav
