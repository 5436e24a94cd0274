#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "engine/ConfigCalls.h"
#include "engine/Engine.h"
#include "engine/EngineText.h"
#include "engine/Session.h"

namespace patchpav::test {

// A directory of the test's own, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("pp-engine-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Utf8() const { return PathToUtf8(path_); }

 private:
  std::filesystem::path path_;
};

// Every test starts with the engine shut down and pointed at a configuration file in a fresh
// directory, and leaves it shut down: the engine and its session are process-wide.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShutDownEverything();
    configPath_ = dir_.Path() / "idapi.cfg";
    Engine::Instance().SetConfigPath(configPath_);
    EngineSession().SetLoginCallback({});
    EngineSession().SetNetFileDir("");
    EngineSession().SetPrivateDir("");
  }
  void TearDown() override {
    ShutDownEverything();
    EngineSession().SetLoginCallback({});
  }
  static void ShutDownEverything() {
    EngineSession().SetActive(false);
    while (Engine::Instance().Initialised()) Engine::Instance().Shutdown();
  }
  std::string ConfigPathUtf8() const { return PathToUtf8(configPath_); }

  TempDir dir_;
  std::filesystem::path configPath_;
};

}  // namespace patchpav::test
