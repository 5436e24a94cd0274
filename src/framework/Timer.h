#pragma once

#include <windows.h>

#include <functional>

#include "framework/Component.h"

namespace patchpav {

// A timer of the GUI thread: OnTimer runs from the message loop every Interval milliseconds
// while the timer is enabled.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner, unsigned interval = 1000, bool enabled = true);
  ~TTimer() override;

  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned interval);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::function<void()> OnTimer;

 private:
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void Restart();
  void Stop();

  unsigned interval_;
  bool enabled_;
  UINT_PTR id_ = 0;
};

}  // namespace patchpav
