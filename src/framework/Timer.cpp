#include "framework/Timer.h"

#include <exception>
#include <map>

#include "framework/Application.h"

namespace patchpav {

namespace {

// Thread timers carry no pointer of ours: the running timers are found by their id.
thread_local std::map<UINT_PTR, TTimer*> tRunningTimers;

}  // namespace

TTimer::TTimer(TComponent* owner, unsigned interval, bool enabled)
    : TComponent(owner), interval_(interval), enabled_(enabled) {
  Restart();
}

TTimer::~TTimer() { Stop(); }

void TTimer::SetInterval(unsigned interval) {
  if (interval == interval_) return;
  interval_ = interval;
  Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::Stop() {
  if (id_) {
    KillTimer(nullptr, id_);
    tRunningTimers.erase(id_);
    id_ = 0;
  }
}

void TTimer::Restart() {
  Stop();
  if (!enabled_ || interval_ == 0) return;
  id_ = SetTimer(nullptr, 0, interval_, &TTimer::TimerProc);
  if (id_) tRunningTimers[id_] = this;
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto found = tRunningTimers.find(id);
  if (found == tRunningTimers.end() || !found->second->OnTimer) return;
  try {
    found->second->OnTimer();
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
}

}  // namespace patchpav
