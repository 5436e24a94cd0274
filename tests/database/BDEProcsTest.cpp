#include "database/BDEProcs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "database/EngineConfigFixture.h"
#include "engine/core/Errors.h"
#include "framework/ini/IniFile.h"

namespace patchpav {
namespace {

constexpr const char* kSystem = "\\SYSTEM\\INIT\\";
constexpr const char* kParadox = "\\DRIVERS\\PARADOX\\INIT\\";

std::optional<std::string> ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

class EngineConfigEntryTest : public EngineConfigFixture {};

TEST_F(EngineConfigEntryTest, ReadsTheFieldNamedAfterTheFirstSemicolon) {
  WriteConfig([](Configuration& c) {
    c.SetField(kSystem, "LOCAL SHARE", "false");
    c.SetField(kSystem, "MAXFILEHANDLES", "48");
    c.SetField(kSystem, "A;B", "second semicolon");
    c.SetField("\\EMPTY\\", "X", "");
    c.ReplaceNode("\\EMPTY\\", {});
  });
  const std::string before = ReadBytes(ConfigPath());
  struct Case {
    const char* address;
    const char* value;  // nullptr: an error is expected
    const char* error;
  };
  const Case cases[] = {
      {"\\SYSTEM\\INIT\\;LOCAL SHARE", "false", nullptr},
      {"\\SYSTEM\\INIT\\;A;B", "second semicolon", nullptr},
      {"\\SYSTEM\\INIT\\;MAXFILEHANDLES", "48", nullptr},
      {"\\system\\init\\;MAXFILEHANDLES", "48", nullptr},
      {"\\SYSTEM\\INIT\\;local share", nullptr,
       "\\SYSTEM\\INIT\\;local share entry was not found in configuration file"},
      {"\\SYSTEM\\INIT\\;", nullptr, "\\SYSTEM\\INIT\\; entry was not found in configuration file"},
      {"\\EMPTY\\;X", nullptr, "\\EMPTY\\;X entry was not found in configuration file"},
      {"\\SYSTEM\\INIT\\LOCAL SHARE", nullptr,
       "Invalid parameter passed to function.  There must be a semi-colon delimited sting "
       "passed"},
      {"", nullptr,
       "Invalid parameter passed to function.  There must be a semi-colon delimited sting "
       "passed"},
  };
  for (const Case& c : cases) {
    std::string value = "<unchanged>";
    const auto error = ErrorOf([&] { GetEngineConfigEntry(c.address, value); });
    if (c.value) {
      EXPECT_EQ(error, std::nullopt) << c.address;
      EXPECT_EQ(value, c.value) << c.address;
    } else {
      EXPECT_EQ(error, std::optional<std::string>(c.error)) << c.address;
      EXPECT_EQ(value, "<unchanged>") << c.address;
    }
    // The operation started the engine itself, so it shut it down again on every way out.
    EXPECT_FALSE(Engine::Instance().Initialised()) << c.address;
  }
  EXPECT_EQ(ReadBytes(ConfigPath()), before);
}

TEST_F(EngineConfigEntryTest, AnUnknownNodeIsAnErrorAndClosesEverything) {
  WriteConfig([](Configuration&) {});
  std::string value;
  EXPECT_THROW(GetEngineConfigEntry("\\NO\\SUCH\\NODE\\;X", value), EDatabaseError);
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_THROW(SetEngineConfigEntry("\\NO\\SUCH\\NODE\\;X", "1"), EDatabaseError);
  EXPECT_FALSE(Engine::Instance().Initialised());
}

TEST_F(EngineConfigEntryTest, WritesOneFieldAndKeepsTheOthers) {
  WriteConfig([](Configuration& c) {
    c.SetField(kSystem, "LOCAL SHARE", "FALSE");
    c.SetField(kSystem, "MAXFILEHANDLES", "48");
    c.SetField(kSystem, "LANGDRIVER", "DBWINUS0");
  });
  SetEngineConfigEntry("\\SYSTEM\\INIT\\;LOCAL SHARE", "TRUE");
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_EQ(Field(kSystem, "LOCAL SHARE"), "TRUE");
  EXPECT_EQ(Field(kSystem, "MAXFILEHANDLES"), "48");
  EXPECT_EQ(Field(kSystem, "LANGDRIVER"), "DBWINUS0");

  const std::string before = ReadBytes(ConfigPath());
  const auto error = ErrorOf([] { SetEngineConfigEntry("\\SYSTEM\\INIT\\;NO FIELD", "1"); });
  EXPECT_EQ(error, "\\SYSTEM\\INIT\\;NO FIELD entry was not found in configuration file");
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_EQ(ReadBytes(ConfigPath()), before);
}

TEST_F(EngineConfigEntryTest, AConfigurationThatCannotBeWrittenBackIsAnError) {
  WriteConfig([](Configuration& c) { c.SetField(kSystem, "LOCAL SHARE", "FALSE"); });
  const std::string before = ReadBytes(ConfigPath());
  // Another program holds the file: it can be read, not replaced.
  const HANDLE holder = CreateFileW(ConfigPath().wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_THROW(SetEngineConfigEntry("\\SYSTEM\\INIT\\;LOCAL SHARE", "TRUE"), EDatabaseError);
  CloseHandle(holder);
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_EQ(ReadBytes(ConfigPath()), before);
}

TEST_F(EngineConfigEntryTest, AValueOverTheSlotIsRefusedBeforeAnythingIsOpened) {
  WriteConfig([](Configuration&) {});
  const std::string longest(127, 'v');
  SetEngineConfigEntry("\\SYSTEM\\INIT\\;LANGDRIVER", longest);
  EXPECT_EQ(Field(kSystem, "LANGDRIVER"), longest);
  std::string read;
  GetEngineConfigEntry("\\SYSTEM\\INIT\\;LANGDRIVER", read);
  EXPECT_EQ(read, longest);

  const std::string before = ReadBytes(ConfigPath());
  EXPECT_THROW(SetEngineConfigEntry("\\SYSTEM\\INIT\\;LANGDRIVER", longest + "w"), EDatabaseError);
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_EQ(ReadBytes(ConfigPath()), before);
}

// Field i of the wide node: its name and its value, which fills the value slot.
std::string WideName(int i) { return std::string("F").append(std::to_string(i)); }
std::string WideValue(int i) { return std::string(127, static_cast<char>('a' + i % 26)); }

TEST_F(EngineConfigEntryTest, ANodeOfMoreFieldsThanTheUsualBufferHoldsIsReadAndWrittenWhole) {
  WriteConfig([](Configuration& c) {
    for (int i = 0; i < 100; ++i) c.SetField("\\WIDE\\", WideName(i), WideValue(i));
  });
  std::string value;
  GetEngineConfigEntry("\\WIDE\\;F99", value);
  EXPECT_EQ(value, WideValue(99));
  SetEngineConfigEntry("\\WIDE\\;F90", "changed");
  const Configuration after = Configuration::Load(ConfigPath());
  ASSERT_EQ(after.Fields("\\WIDE\\")->size(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(after.FieldValue("\\WIDE\\", WideName(i)), i == 90 ? "changed" : WideValue(i)) << i;
  }
}

TEST_F(EngineConfigEntryTest, ARunningEngineIsUsedAndLeftRunning) {
  WriteConfig([](Configuration& c) { c.SetField(kSystem, "LOCAL SHARE", "FALSE"); });
  Engine::Instance().Initialise();
  SetEngineConfigEntry("\\SYSTEM\\INIT\\;LOCAL SHARE", "TRUE");
  std::string value;
  GetEngineConfigEntry("\\SYSTEM\\INIT\\;LOCAL SHARE", value);
  EXPECT_TRUE(Engine::Instance().Initialised());
  Engine::Instance().Shutdown();
  EXPECT_EQ(value, "TRUE");
  EXPECT_EQ(Field(kSystem, "LOCAL SHARE"), "TRUE");
}

// The version file's gate and the four corrections.
struct RepairCase {
  const char* name;
  const char* versionFile;  // nullptr: no version file at all
  const char* localShare;
  const char* maxFileHandles;
  const char* systemLanguage;
  const char* paradoxLanguage;
  // After the repair:
  const char* expectedLocalShare;
  const char* expectedMaxFileHandles;
  const char* expectedSystemLanguage;
  const char* expectedParadoxLanguage;
  const char* expectedVersionFile;  // nullptr: left byte for byte
  const char* expectedError;        // nullptr: none
};

void PrintTo(const RepairCase& c, std::ostream* out) { *out << c.name; }

constexpr const char* kGateOne = "[Troubles]\r\nInitBDESettings=1\r\n";

const RepairCase kRepairCases[] = {
    {"gate absent: only the gate is written", "[DBKERNEL]\r\nDBType=1\r\n", "FALSE", "48",
     "DBWINUS0", "ascii", "FALSE", "48", "DBWINUS0", "ascii",
     "[DBKERNEL]\r\nDBType=1\r\n[Troubles]\r\nInitBDESettings=0\r\n", nullptr},
    {"no version file: created with its section", nullptr, "FALSE", "48", "DBWINUS0", "ascii",
     "FALSE", "48", "DBWINUS0", "ascii", "[Troubles]\r\nInitBDESettings=0\r\n", nullptr},
    {"explicit -1 counts as absent", "[Troubles]\r\nInitBDESettings=-1\r\n", "FALSE", "48",
     "DBWINUS0", "ascii", "FALSE", "48", "DBWINUS0", "ascii", "[Troubles]\r\nInitBDESettings=0\r\n",
     nullptr},
    {"no integer counts as absent", "[Troubles]\r\nInitBDESettings=yes\r\n", "FALSE", "48",
     "DBWINUS0", "ascii", "FALSE", "48", "DBWINUS0", "ascii", "[Troubles]\r\nInitBDESettings=0\r\n",
     nullptr},
    {"gate 0: nothing", "[Troubles]\r\nInitBDESettings=0\r\n", "FALSE", "48", "DBWINUS0", "ascii",
     "FALSE", "48", "DBWINUS0", "ascii", nullptr, nullptr},
    {"gate 2: nothing", "[Troubles]\r\nInitBDESettings=2\r\n", "FALSE", "48", "DBWINUS0", "ascii",
     "FALSE", "48", "DBWINUS0", "ascii", nullptr, nullptr},
    {"gate 1: every correction", kGateOne, "FALSE", "48", "DBWINUS0", "ascii", "TRUE", "200",
     "intl", "intl", nullptr, nullptr},
    {"gate 0x1 in hexadecimal", "[Troubles]\r\nInitBDESettings=0x1\r\n", "false", "199", "INTL",
     "Intl", "TRUE", "200", "intl", "intl", nullptr, nullptr},
    {"false in mixed case", kGateOne, "FaLsE", "200", "intl", "intl", "TRUE", "200", "intl", "intl",
     nullptr, nullptr},
    {"FAUX, true and empty are left", kGateOne, "FAUX", "48000", "intl", "intl", "FAUX", "48000",
     "intl", "intl", nullptr, nullptr},
    {"true is left", kGateOne, "true", "200", "intl", "intl", "true", "200", "intl", "intl",
     nullptr, nullptr},
    {"empty is left", kGateOne, "", "200", "intl", "intl", "", "200", "intl", "intl", nullptr,
     nullptr},
    {"a limit in hexadecimal", kGateOne, "TRUE", "$C8", "intl", "intl", "TRUE", "$C8", "intl",
     "intl", nullptr, nullptr},
    {"a limit that is no number ends the repair", kGateOne, "false", "many", "INTL", "INTL", "TRUE",
     "many", "INTL", "INTL", nullptr, "'many' n'est pas une valeur enti\xC3\xA8re correcte"},
    {"an empty limit ends the repair", kGateOne, "TRUE", "", "INTL", "INTL", "TRUE", "", "INTL",
     "INTL", nullptr, "'' n'est pas une valeur enti\xC3\xA8re correcte"},
};

class RepairEngineSettingsTest : public EngineConfigFixture,
                                 public ::testing::WithParamInterface<RepairCase> {};

TEST_P(RepairEngineSettingsTest, AppliesTheGateAndTheCorrections) {
  const RepairCase& c = GetParam();
  WriteConfig([&](Configuration& config) {
    config.SetField(kSystem, "LOCAL SHARE", c.localShare);
    config.SetField(kSystem, "MAXFILEHANDLES", c.maxFileHandles);
    config.SetField(kSystem, "LANGDRIVER", c.systemLanguage);
    config.SetField(kParadox, "LANGDRIVER", c.paradoxLanguage);
  });
  const std::string configBefore = ReadBytes(ConfigPath());
  if (c.versionFile) WriteBytes(VersionPath(), c.versionFile);

  const auto error = ErrorOf([&] { RepairEngineSettings(dir_.Text()); });

  EXPECT_EQ(error, c.expectedError ? std::optional<std::string>(c.expectedError) : std::nullopt);
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_EQ(Field(kSystem, "LOCAL SHARE"), c.expectedLocalShare);
  EXPECT_EQ(Field(kSystem, "MAXFILEHANDLES"), c.expectedMaxFileHandles);
  EXPECT_EQ(Field(kSystem, "LANGDRIVER"), c.expectedSystemLanguage);
  EXPECT_EQ(Field(kParadox, "LANGDRIVER"), c.expectedParadoxLanguage);
  EXPECT_EQ(ReadBytes(VersionPath()), c.expectedVersionFile ? c.expectedVersionFile
                                      : c.versionFile       ? c.versionFile
                                                            : "");
  const bool changesExpected = std::string(c.localShare) != c.expectedLocalShare ||
                               std::string(c.maxFileHandles) != c.expectedMaxFileHandles ||
                               std::string(c.systemLanguage) != c.expectedSystemLanguage ||
                               std::string(c.paradoxLanguage) != c.expectedParadoxLanguage;
  if (!changesExpected) {
    EXPECT_EQ(ReadBytes(ConfigPath()), configBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RepairEngineSettingsTest, ::testing::ValuesIn(kRepairCases),
                         [](const ::testing::TestParamInfo<RepairCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

class RepairTwiceTest : public EngineConfigFixture {};

TEST_F(RepairTwiceTest, TheSecondRepairFindsNothingToChange) {
  WriteConfig([](Configuration&) {});
  WriteBytes(VersionPath(), kGateOne);
  RepairEngineSettings(dir_.Text());
  const std::string afterFirst = ReadBytes(ConfigPath());
  EXPECT_EQ(Field(kSystem, "LOCAL SHARE"), "TRUE");
  RepairEngineSettings(dir_.Text());
  EXPECT_EQ(ReadBytes(ConfigPath()), afterFirst);
  EXPECT_EQ(ReadBytes(VersionPath()), kGateOne);  // the gate is never reset
}

TEST_F(RepairTwiceTest, AMissingEntryEndsTheRepairAndKeepsWhatWasWritten) {
  WriteConfig([](Configuration& c) { c.ReplaceNode(kParadox, {{"TYPE", "FILE"}}); });
  WriteBytes(VersionPath(), kGateOne);
  const auto error = ErrorOf([&] { RepairEngineSettings(dir_.Text()); });
  EXPECT_EQ(error,
            "\\DRIVERS\\PARADOX\\INIT\\;LANGDRIVER entry was not found in configuration file");
  EXPECT_FALSE(Engine::Instance().Initialised());
  EXPECT_EQ(Field(kSystem, "LOCAL SHARE"), "TRUE");
  EXPECT_EQ(Field(kSystem, "MAXFILEHANDLES"), "200");
  EXPECT_EQ(Field(kSystem, "LANGDRIVER"), "intl");
}

// The gate is only bookkeeping: a version file that refuses it leaves the base usable.
TEST_F(RepairTwiceTest, AVersionFileThatCannotBeWrittenIsLeftAsItIs) {
  WriteConfig([](Configuration&) {});
  const std::string configBefore = ReadBytes(ConfigPath());
  WriteBytes(VersionPath(), "[DBKERNEL]\r\nDBType=1\r\n");
  // Held open without write sharing, as a file on a read-only medium cannot be written.
  const HANDLE holder = CreateFileW(VersionPath().wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const auto error = ErrorOf([&] { RepairEngineSettings(dir_.Text()); });
  CloseHandle(holder);
  EXPECT_EQ(error, std::nullopt);
  EXPECT_EQ(ReadBytes(VersionPath()), "[DBKERNEL]\r\nDBType=1\r\n");
  EXPECT_EQ(ReadBytes(ConfigPath()), configBefore);
}

}  // namespace
}  // namespace patchpav
