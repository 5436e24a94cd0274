#pragma once

// What the tests of the correction run share: a window that records what the run asks of it, and
// the engine's configuration file, set once per test program.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "correction/CorrectionHost.h"
#include "engine/Engine.h"

namespace patchpav::testing {

// Records what the run asks of its window, one line per call, in order.
class RecordingHost : public CorrectionHost {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> statuses;
  std::vector<std::string> warnings;
  std::vector<std::string> informations;
  bool enabled = true;
  bool progressVisible = false;
  bool animationVisible = false;
  bool animationPlaying = false;
  Cursor cursor = Cursor::Default;
  int gaugeMax = 100;
  int gaugeProgress = 70;
  bool closed = false;
  // Enabled state of the main window whenever the run wrote a status line.
  std::vector<bool> enabledAtStatus;
  // Called with each status line: what a test does meanwhile, as the world goes on during a run.
  std::function<void(const std::string&)> onStatus;

  void EnableMainWindow(bool on) override { enabled = on, Note(on ? "enable" : "disable"); }
  void SetMainWindowCursor(Cursor c) override {
    cursor = c, Note(c == Cursor::Hourglass ? "hourglass" : "default cursor");
  }
  void PlayAnimation(bool on) override { animationPlaying = on, Note(on ? "play" : "stop"); }
  void ShowAnimation(bool on) override {
    animationVisible = on, Note(on ? "show animation" : "hide animation");
  }
  void ShowProgress(bool on) override {
    progressVisible = on, Note(on ? "show progress" : "hide progress");
  }
  void SetProgressStatus(const std::string& text) override {
    statuses.push_back(text);
    enabledAtStatus.push_back(enabled);
    Note("status " + text);
    if (onStatus) onStatus(text);
  }
  void ShowGauge(bool on) override { Note(on ? "show gauge" : "hide gauge"); }
  void SetGaugeMax(int v) override { gaugeMax = v, Note("max " + std::to_string(v)); }
  void SetGaugeProgress(int v) override { gaugeProgress = v, Note("gauge " + std::to_string(v)); }
  void ShowInformation(const std::string& text) override {
    informations.push_back(text);
    Note("information " + text);
  }
  void ShowWarning(const std::string& text) override {
    warnings.push_back(text);
    Note("warning " + text);
  }
  void ProcessMessages() override { Note("pump"); }
  void PressClose() override { closed = true, Note("close"); }

 private:
  void Note(std::string call) { calls.push_back(std::move(call)); }
};

// Points the engine at a configuration file of the process's own, before anything starts it.
// CTest runs each test in a process of its own, several at once: a file shared by the program's
// tests would let one process's aliases appear in another's engine, or its write fail.
inline void UseTestEngineConfig() {
  static const bool done = [] {
    std::random_device seed;
    const std::filesystem::path config =
        std::filesystem::path(::testing::TempDir()) /
        ("pp_correction_run_" + std::to_string(seed()) + std::to_string(seed()) + ".cfg");
    std::filesystem::remove(config);
    Engine::Instance().SetConfigPath(config);
    return true;
  }();
  (void)done;
}

}  // namespace patchpav::testing
