#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ConfigCalls.h"
#include "engine/Engine.h"
#include "engine/EngineText.h"

namespace {

// The second process of the configuration tests: reads one entry through the configuration
// calls, from a fresh engine, and writes its value to a file. Exit code 0 when found.
int PrintConfigEntry(const std::string& configPath, const std::string& node,
                     const std::string& field, const std::string& outFile) {
  using namespace patchpav;
  Engine::Instance().SetConfigPath(PathFromUtf8(configPath));
  std::vector<std::byte> record(kSystemConfigSize);
  if (GetSystemConfig(record.data(), record.size()) != kDbiNotInitialised) return 10;
  if (DbiInitFn(500, nullptr) != kDbiOk) return 11;
  if (GetSystemConfig(record.data(), record.size()) != kDbiOk) return 12;
  const char* path = reinterpret_cast<const char*>(record.data() + kConfigPathOffset);
  ConfigHandle handle = 0;
  if (OpenConfigFile(path, false, &handle) != kDbiOk) return 13;
  std::uint16_t count = 0;
  if (GetConfigRecord(handle, node.c_str(), &count, nullptr, 0, nullptr, 0) != kDbiOk) return 14;
  std::vector<std::byte> descriptors(count * kFieldDescriptorSize);
  std::vector<char> values(10000);
  if (GetConfigRecord(handle, node.c_str(), &count, descriptors.data(), descriptors.size(),
                      values.data(), values.size()) != kDbiOk) {
    return 15;
  }
  int result = 2;
  for (std::size_t i = 0; i < count; ++i) {
    const char* name =
        reinterpret_cast<const char*>(descriptors.data() + i * kFieldDescriptorSize + 2);
    if (std::string(name, strnlen(name, kMaxFieldNameLength)) == field) {
      std::ofstream(PathFromUtf8(outFile), std::ios::binary) << values.data() + i * kValueSlotSize;
      result = 0;
    }
  }
  CloseConfigFile(&handle, false, false, false);
  DbiExit();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--print-config-entry") {
    return PrintConfigEntry(argv[2], argv[3], argv[4], argv[5]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
