#include "engine/core/EngineIdle.h"

#include <utility>

namespace patchpav {
namespace {

using Clock = std::chrono::steady_clock;

// The engine runs on one thread of the application; the hook belongs to that thread.
struct IdleState {
  std::function<void()> callback;
  std::chrono::milliseconds interval = kEngineIdleInterval;
  Clock::time_point last = Clock::now();
  bool running = false;
};

IdleState& State() {
  static IdleState state;
  return state;
}

}  // namespace

ScopedIdleCallback::ScopedIdleCallback(std::function<void()> callback,
                                       std::chrono::milliseconds interval)
    : previous_(std::move(State().callback)), previousInterval_(State().interval) {
  State().callback = std::move(callback);
  State().interval = interval;
  State().last = Clock::now();
}

ScopedIdleCallback::~ScopedIdleCallback() {
  State().callback = std::move(previous_);
  State().interval = previousInterval_;
}

void EngineIdle() {
  IdleState& state = State();
  if (!state.callback || state.running) return;
  const Clock::time_point now = Clock::now();
  if (now - state.last < state.interval) return;
  state.running = true;
  struct Done {
    IdleState& state;
    ~Done() {
      state.running = false;
      // The interval counts work, not the time the callback took.
      state.last = Clock::now();
    }
  } done{state};
  state.callback();
}

}  // namespace patchpav
