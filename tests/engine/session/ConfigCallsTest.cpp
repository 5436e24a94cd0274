#include "engine/ConfigCalls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "EngineFixture.h"
#include "RunSelf.h"
#include "engine/Configuration.h"
#include "engine/core/Errors.h"
#include "support/FileBytes.h"

namespace patchpav::test {
namespace {

using patchpav::testing::FileBytes;
using patchpav::testing::WriteFileBytes;

// A node as the calls give it: names from the descriptors, values from the slots.
struct NodeRecord {
  std::vector<std::string> names;
  std::vector<std::string> values;
  std::vector<std::byte> descriptors;
};

NodeRecord GetNode(ConfigHandle handle, const char* node) {
  std::uint16_t count = 0xFFFF;
  EXPECT_EQ(GetConfigRecord(handle, node, &count, nullptr, 0, nullptr, 0), kDbiOk);
  NodeRecord record;
  record.descriptors.assign(count * kFieldDescriptorSize, std::byte{0xCC});
  std::vector<char> values(10000, '\x55');
  std::uint16_t filled = 0;
  EXPECT_EQ(GetConfigRecord(handle, node, &filled, record.descriptors.data(),
                            record.descriptors.size(), values.data(), values.size()),
            kDbiOk);
  EXPECT_EQ(filled, count);
  for (std::size_t i = 0; i < count; ++i) {
    const char* name =
        reinterpret_cast<const char*>(record.descriptors.data() + i * kFieldDescriptorSize + 2);
    record.names.emplace_back(name, strnlen(name, kMaxFieldNameLength));
    record.values.emplace_back(values.data() + i * kValueSlotSize);
  }
  return record;
}

// Writes one field the way an entry writer does: read the whole node, change one slot, write the
// whole node back, close with save.
void SetEntry(const std::string& configPath, const char* node, const std::string& field,
              const std::string& value) {
  ConfigHandle handle = 0;
  ASSERT_EQ(OpenConfigFile(configPath.c_str(), false, &handle), kDbiOk);
  std::uint16_t count = 0;
  ASSERT_EQ(GetConfigRecord(handle, node, &count, nullptr, 0, nullptr, 0), kDbiOk);
  std::vector<std::byte> descriptors(count * kFieldDescriptorSize);
  std::vector<char> values(10000);
  ASSERT_EQ(GetConfigRecord(handle, node, &count, descriptors.data(), descriptors.size(),
                            values.data(), values.size()),
            kDbiOk);
  bool found = false;
  for (std::size_t i = 0; i < count; ++i) {
    const char* name = reinterpret_cast<const char*>(descriptors.data() + i * 62 + 2);
    if (std::string(name, strnlen(name, 32)) == field) {
      std::memcpy(values.data() + i * 128, value.c_str(), value.size() + 1);
      found = true;
    }
  }
  ASSERT_TRUE(found) << field;
  ASSERT_EQ(ModifyConfigRecord(handle, node, count, descriptors.data(), descriptors.size(),
                               values.data(), values.size()),
            kDbiOk);
  ASSERT_EQ(CloseConfigFile(&handle, true, true, false), kDbiOk);
  EXPECT_EQ(handle, 0u);
}

class ConfigCallsTest : public EngineTest {};

TEST_F(ConfigCallsTest, NotInitialisedUntilInitAndAfterExit) {
  std::vector<std::byte> record(kSystemConfigSize);
  ConfigHandle handle = 0;
  std::uint16_t count = 0;
  EXPECT_EQ(GetSystemConfig(record.data(), record.size()), 10758);
  EXPECT_EQ(OpenConfigFile(ConfigPathUtf8().c_str(), false, &handle), kDbiNotInitialised);
  EXPECT_EQ(GetConfigRecord(1, "\\SYSTEM\\INIT\\", &count, nullptr, 0, nullptr, 0),
            kDbiNotInitialised);
  EXPECT_EQ(DbiExit(), kDbiNotInitialised);
  EXPECT_EQ(DbiInitFn(499, nullptr), kDbiInvalidParameter);

  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  EXPECT_EQ(GetSystemConfig(record.data(), record.size()), kDbiOk);
  ASSERT_EQ(DbiExit(), kDbiOk);
  EXPECT_EQ(GetSystemConfig(record.data(), record.size()), kDbiNotInitialised);

  // The active session holds the engine initialised; the calls then need no DbiInitFn.
  EngineSession().SetActive(true);
  EXPECT_EQ(GetSystemConfig(record.data(), record.size()), kDbiOk);
  EngineSession().SetActive(false);
  EXPECT_EQ(GetSystemConfig(record.data(), record.size()), kDbiNotInitialised);
}

TEST_F(ConfigCallsTest, SystemRecordHoldsThePathAtByte53AndCreatesTheDefaultFile) {
  ASSERT_FALSE(std::filesystem::exists(configPath_));
  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  EXPECT_TRUE(std::filesystem::exists(configPath_));
  // One byte past the record is a guard that must stay untouched.
  std::vector<std::byte> record(kSystemConfigSize + 1, std::byte{0xAB});
  ASSERT_EQ(GetSystemConfig(record.data(), kSystemConfigSize), kDbiOk);
  const std::string path = ConfigPathUtf8();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data()) + 53), path);
  EXPECT_EQ(record[53 + path.size()], std::byte{0});
  EXPECT_EQ(record[0], std::byte{0}) << "LOCAL SHARE is FALSE in a new file";
  EXPECT_EQ(record[kSystemConfigSize], std::byte{0xAB});
  EXPECT_EQ(GetSystemConfig(record.data(), kSystemConfigSize - 1), kDbiBufferTooSmall);
  DbiExit();
}

TEST_F(ConfigCallsTest, DefaultNodesDescriptorsAndValueSlots) {
  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  ConfigHandle handle = 0;
  ASSERT_EQ(OpenConfigFile(ConfigPathUtf8().c_str(), false, &handle), kDbiOk);
  EXPECT_NE(handle, 0u);

  const NodeRecord system = GetNode(handle, "\\SYSTEM\\INIT\\");
  EXPECT_EQ(system.names,
            (std::vector<std::string>{"LOCAL SHARE", "MAXFILEHANDLES", "LANGDRIVER"}));
  EXPECT_EQ(system.values, (std::vector<std::string>{"FALSE", "48", "DBWINUS0"}));
  // Descriptor layout: number from 1 at bytes 0-1, name at 2, zeros after the name.
  ASSERT_EQ(system.descriptors.size(), 3 * 62u);
  EXPECT_EQ(system.descriptors[62 + 0], std::byte{2});
  EXPECT_EQ(system.descriptors[62 + 1], std::byte{0});
  for (std::size_t b = 2 + std::strlen("MAXFILEHANDLES"); b < 62; ++b) {
    EXPECT_EQ(system.descriptors[62 + b], std::byte{0}) << b;
  }

  EXPECT_EQ(GetNode(handle, "\\DRIVERS\\PARADOX\\INIT\\").names,
            (std::vector<std::string>{"TYPE", "NET DIR", "LANGDRIVER"}));
  const NodeRecord mssql = GetNode(handle, "\\DRIVERS\\MSSQL\\INIT\\");
  EXPECT_EQ(mssql.names, (std::vector<std::string>{"TYPE", "ODBC DRIVER"}));
  EXPECT_EQ(mssql.values, (std::vector<std::string>{"SERVER", ""}));

  // A node above stored ones exists without fields; a node that nowhere exists is an error.
  std::uint16_t count = 99;
  EXPECT_EQ(GetConfigRecord(handle, "\\DRIVERS\\", &count, nullptr, 0, nullptr, 0), kDbiOk);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(GetConfigRecord(handle, "\\NOWHERE\\INIT\\", &count, nullptr, 0, nullptr, 0),
            kDbiNodeNotFound);
  EXPECT_EQ(GetConfigRecord(handle + 1000, "\\SYSTEM\\INIT\\", &count, nullptr, 0, nullptr, 0),
            kDbiInvalidHandle);
  EXPECT_EQ(CloseConfigFile(&handle, false, false, false), kDbiOk);
  DbiExit();
}

TEST_F(ConfigCallsTest, BuffersAreNeverWrittenPast) {
  const std::string name32(32, 'N');
  const std::string value127(127, 'v');
  WriteFileBytes(configPath_, std::string(Configuration::kSignature) + "\n[\\EMPTY\\]\n[\\T\\]\n" +
                                  name32 + "=" + value127 +
                                  "\nB=2\n[\\LONG\\]\nX=" + std::string(128, 'w') + "\n");
  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  ConfigHandle handle = 0;
  ASSERT_EQ(OpenConfigFile(ConfigPathUtf8().c_str(), false, &handle), kDbiOk);

  std::uint16_t count = 7;
  EXPECT_EQ(GetConfigRecord(handle, "\\EMPTY\\", &count, nullptr, 0, nullptr, 0), kDbiOk);
  EXPECT_EQ(count, 0);

  // A 32-character name fills bytes 2..33 with no NUL inside the name's room.
  const NodeRecord t = GetNode(handle, "\\T\\");
  ASSERT_EQ(t.names.size(), 2u);
  EXPECT_EQ(t.names[0], name32);
  EXPECT_EQ(t.values[0], value127);
  EXPECT_EQ(t.names[1], "B");

  // Buffers one byte short are refused and left untouched.
  std::vector<std::byte> descriptors(2 * 62 - 1, std::byte{0xCC});
  std::vector<char> values(2 * 128, '\x55');
  EXPECT_EQ(GetConfigRecord(handle, "\\T\\", &count, descriptors.data(), descriptors.size(),
                            values.data(), values.size()),
            kDbiBufferTooSmall);
  EXPECT_EQ(descriptors[0], std::byte{0xCC});
  descriptors.resize(2 * 62, std::byte{0xCC});
  values.resize(2 * 128 - 1);
  EXPECT_EQ(GetConfigRecord(handle, "\\T\\", &count, descriptors.data(), descriptors.size(),
                            values.data(), values.size()),
            kDbiBufferTooSmall);
  EXPECT_EQ(values[0], '\x55');

  // A 128-character value does not fit its slot: refused, never cut.
  std::vector<std::byte> longDescriptors(62);
  std::vector<char> longValues(10000, '\x55');
  EXPECT_EQ(GetConfigRecord(handle, "\\LONG\\", &count, longDescriptors.data(), 62,
                            longValues.data(), longValues.size()),
            kDbiValueTooLong);
  EXPECT_EQ(longValues[0], '\x55');
  EXPECT_NE(ConfigCallMessage(kDbiValueTooLong).find("\\LONG\\;X"), std::string::npos);

  // Writing: a slot without its NUL is too long; a name with '=' is refused; nothing changes.
  std::vector<std::byte> writeDescriptors(62);
  std::memcpy(writeDescriptors.data() + 2, "B", 1);
  std::vector<char> writeValues(128, 'z');
  EXPECT_EQ(
      ModifyConfigRecord(handle, "\\T\\", 1, writeDescriptors.data(), 62, writeValues.data(), 128),
      kDbiValueTooLong);
  std::memcpy(writeDescriptors.data() + 2, "B=", 2);
  writeValues[0] = '\0';
  EXPECT_EQ(
      ModifyConfigRecord(handle, "\\T\\", 1, writeDescriptors.data(), 62, writeValues.data(), 128),
      kDbiInvalidParameter);
  EXPECT_EQ(GetNode(handle, "\\T\\").values[1], "2");
  EXPECT_EQ(CloseConfigFile(&handle, true, true, true), kDbiNotSupported);
  EXPECT_NE(handle, 0u) << "a refused close keeps the handle";
  EXPECT_EQ(CloseConfigFile(&handle, false, false, false), kDbiOk);
  DbiExit();
}

TEST_F(ConfigCallsTest, ClosingWithoutSaveDiscardsAndWithSaveWritesTheFile) {
  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  const std::string before = FileBytes(configPath_);
  ConfigHandle handle = 0;
  ASSERT_EQ(OpenConfigFile(ConfigPathUtf8().c_str(), false, &handle), kDbiOk);
  std::vector<std::byte> descriptors(62);
  std::memcpy(descriptors.data() + 2, "LOCAL SHARE", 11);
  std::vector<char> values(128);
  std::memcpy(values.data(), "TRUE", 5);
  ASSERT_EQ(
      ModifyConfigRecord(handle, "\\SYSTEM\\INIT\\", 1, descriptors.data(), 62, values.data(), 128),
      kDbiOk);
  EXPECT_EQ(GetNode(handle, "\\SYSTEM\\INIT\\").values[0], "TRUE");
  ASSERT_EQ(CloseConfigFile(&handle, false, false, false), kDbiOk);
  EXPECT_EQ(FileBytes(configPath_), before);

  SetEntry(ConfigPathUtf8(), "\\SYSTEM\\INIT\\", "LOCAL SHARE", "TRUE");
  EXPECT_NE(FileBytes(configPath_).find("\nLOCAL SHARE=TRUE\n"), std::string::npos);
  std::vector<std::byte> record(kSystemConfigSize);
  ASSERT_EQ(GetSystemConfig(record.data(), record.size()), kDbiOk);
  EXPECT_EQ(record[0], std::byte{1});
  EXPECT_FALSE(std::filesystem::exists(configPath_.string() + ".tmp"));
  DbiExit();
}

TEST_F(ConfigCallsTest, OtherFilesOpenOnlyWhenPresentOrCreated) {
  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  const std::string other = PathToUtf8(dir_.Path() / "other.cfg");
  ConfigHandle handle = 0;
  EXPECT_EQ(OpenConfigFile(other.c_str(), false, &handle), kDbiFileNotFound);
  EXPECT_EQ(handle, 0u);
  ASSERT_EQ(OpenConfigFile(other.c_str(), true, &handle), kDbiOk);
  ASSERT_EQ(CloseConfigFile(&handle, true, false, false), kDbiOk);
  EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(other)));

  WriteFileBytes(dir_.Path() / "foreign.cfg", "IDAPI binary\x01\x02");
  const std::string foreign = PathToUtf8(dir_.Path() / "foreign.cfg");
  EXPECT_EQ(OpenConfigFile(foreign.c_str(), false, &handle), kDbiFileError);
  EXPECT_EQ(FileBytes(dir_.Path() / "foreign.cfg"), "IDAPI binary\x01\x02");
  DbiExit();
}

TEST_F(ConfigCallsTest, AnEntryWrittenIsReadByAFreshProcess) {
  ASSERT_EQ(DbiInitFn(500, nullptr), kDbiOk);
  SetEntry(ConfigPathUtf8(), "\\SYSTEM\\INIT\\", "MAXFILEHANDLES", "200");
  SetEntry(ConfigPathUtf8(), "\\DRIVERS\\PARADOX\\INIT\\", "LANGDRIVER", "intl");
  ASSERT_EQ(DbiExit(), kDbiOk);

  const std::filesystem::path out = dir_.Path() / "entry.txt";
  ASSERT_EQ(RunSelf({"--print-config-entry", ConfigPathUtf8(), "\\SYSTEM\\INIT\\", "MAXFILEHANDLES",
                     PathToUtf8(out)}),
            0);
  EXPECT_EQ(FileBytes(out), "200");
  ASSERT_EQ(RunSelf({"--print-config-entry", ConfigPathUtf8(), "\\DRIVERS\\PARADOX\\INIT\\",
                     "LANGDRIVER", PathToUtf8(out)}),
            0);
  EXPECT_EQ(FileBytes(out), "intl");
}

}  // namespace
}  // namespace patchpav::test
