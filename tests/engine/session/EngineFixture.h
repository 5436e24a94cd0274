#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/ConfigCalls.h"
#include "engine/Engine.h"
#include "engine/EngineText.h"
#include "engine/Session.h"
#include "support/TemporaryDirectory.h"

namespace patchpav::test {

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

  testing::TemporaryDirectory dir_;
  std::filesystem::path configPath_;
};

}  // namespace patchpav::test
