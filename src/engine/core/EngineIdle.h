#pragma once

// Long work of the engine (a table's files copied into a backup, a large table scanned) must let
// the program that asked for it answer its windows: Windows takes a window that has not read its
// messages for a few seconds for one that hangs. The engine knows nothing of windows, so it calls
// EngineIdle() between pieces of its work (a chunk of a copy, a block of a scan), and the callback
// that the application installed runs there, on the engine's own thread, at most once per
// interval of work. The callback must not call the engine: the work it interrupts is under way.

#include <chrono>
#include <functional>

namespace patchpav {

inline constexpr std::chrono::milliseconds kEngineIdleInterval{50};

// Installs callback for its lifetime, and puts the previous one back when it ends.
class ScopedIdleCallback {
 public:
  explicit ScopedIdleCallback(std::function<void()> callback,
                              std::chrono::milliseconds interval = kEngineIdleInterval);
  ~ScopedIdleCallback();
  ScopedIdleCallback(const ScopedIdleCallback&) = delete;
  ScopedIdleCallback& operator=(const ScopedIdleCallback&) = delete;

 private:
  std::function<void()> previous_;
  std::chrono::milliseconds previousInterval_;
};

// Runs the installed callback if an interval has passed since it last ran; cheap otherwise. A
// call made from within the callback does nothing.
void EngineIdle();

}  // namespace patchpav
