#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "engine/Configuration.h"
#include "engine/Engine.h"
#include "support/ScratchDirectory.h"

namespace patchpav {

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each test gets an engine configuration file of its own, in a scratch directory that also
// serves as its base directory.
class EngineConfigFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Engine::Instance().Initialised());
    Engine::Instance().SetConfigPath(ConfigPath());
  }

  std::filesystem::path ConfigPath() const { return dir_.Path() / "IDAPI.CFG"; }
  std::filesystem::path VersionPath() const { return dir_.Path() / "VARDOMEX.VER"; }

  // The default configuration with the test's changes, written to the test's file.
  void WriteConfig(const std::function<void(Configuration&)>& edit) {
    Configuration config = Configuration::Defaults();
    edit(config);
    config.Save(ConfigPath());
  }
  std::string Field(const std::string& node, const std::string& name) const {
    return Configuration::Load(ConfigPath()).FieldValue(node, name).value_or("<absent>");
  }

  ScratchDirectory dir_;
};

}  // namespace patchpav
