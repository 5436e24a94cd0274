#pragma once

#include <string>
#include <vector>

#include "correction/CorrectionHost.h"

namespace patchpav::testing {

// A window that shows nothing: the correction run's calls go nowhere, except the warnings it
// would show, which are kept. Tests and benchmarks override what they need to watch.
class SilentHost : public CorrectionHost {
 public:
  std::vector<std::string> warnings;

  void EnableMainWindow(bool) override {}
  void SetMainWindowCursor(Cursor) override {}
  void PlayAnimation(bool) override {}
  void ShowAnimation(bool) override {}
  void ShowProgress(bool) override {}
  void SetProgressStatus(const std::string&) override {}
  void ShowGauge(bool) override {}
  void SetGaugeMax(int) override {}
  void SetGaugeProgress(int) override {}
  void ShowInformation(const std::string&) override {}
  void ShowWarning(const std::string& text) override { warnings.push_back(text); }
  void ProcessMessages() override {}
  void PressClose() override {}
};

}  // namespace patchpav::testing
