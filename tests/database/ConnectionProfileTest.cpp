#include "database/ConnectionProfile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "database/EngineConfigFixture.h"
#include "engine/Configuration.h"
#include "engine/Database.h"
#include "engine/Session.h"
#include "engine/sql/LocalDriver.h"

namespace patchpav {
namespace {

using Lines = std::vector<std::string>;

const char* const kMarkerTables[] = {"metatable.db", "metafield.db", "tablelink.db", "patients.db",
                                     "medecins.db"};
const char* const kSqlServerProfile =
    "[DBKERNEL]\r\nDatabaseName=KLINOVA\r\nServerName=SRV\\SQL2008\r\n";

class ConnectionProfileTest : public EngineConfigFixture {
 protected:
  void SetUp() override {
    EngineConfigFixture::SetUp();
    WriteConfig([](Configuration&) {});
  }
  void TearDown() override {
    if (connection_.Connected()) connection_.Close();
    EngineSession().SetActive(false);
    EXPECT_FALSE(Engine::Instance().Initialised());
    EngineConfigFixture::TearDown();
  }

  // A directory of the test, returned as the product writes it: with its trailing backslash.
  std::string MakeDirectory(const std::string& name, int markerTables = 0) {
    const std::filesystem::path path = dir_.Path() / name;
    std::filesystem::create_directories(path);
    for (int i = 0; i < markerTables; ++i) WriteBytes(path / kMarkerTables[i], "");
    return path.string() + "\\";
  }
  bool Profile(const std::string& base, const std::string& versionFile) {
    WriteBytes(std::filesystem::path(base) / "VARDOMEX.VER", versionFile);
    return Profile(base);
  }
  // Each profile starts from what the previous one of the test left, as in the wizard.
  bool Profile(const std::string& base) {
    const ProfileResult result =
        OpenDatabaseProfile({base, executable_}, state_, connection_, EngineSession());
    state_ = result.state;
    error_ = result.error;
    return result.configured;
  }
  // The alias as the engine knows it: its driver and its own parameter lines.
  std::pair<std::string, DriverParams> Alias(const std::string& name) {
    return {EngineSession().AliasDriver(name), EngineSession().AliasLines(name)};
  }

  std::string executable_ = MakeDirectory("exe");
  // The text of the error that stopped the last profile; "" when none did.
  std::string ErrorText() const {
    if (!error_) return "";
    try {
      std::rethrow_exception(error_);
    } catch (const std::exception& error) {
      return error.what();
    }
  }

  TDatabase connection_;
  ConnectionState state_;
  std::exception_ptr error_;
};

Lines SqlServerLines(const std::string& blobSize, const std::string& blobsToCache) {
  return {"USER NAME=sa",          "PASSWORD=tovrak",
          "BLOB SIZE=" + blobSize, "BLOBS TO CACHE=" + blobsToCache,
          "DATABASE NAME=KLINOVA", "SERVER NAME=SRV\\SQL2008",
          "LANGDRIVER=BLLT1FR0"};
}

std::pair<std::string, DriverParams> SqlServerAlias(const std::string& blobSize) {
  return {"MSSQL",
          {{"USER NAME", "sa"},
           {"BLOB SIZE", blobSize},
           {"BLOBS TO CACHE", "10000"},
           {"LANGDRIVER", "BLLT1FR0"}}};
}

TEST_F(ConnectionProfileTest, AParadoxBaseGoesThroughTheDefaultLocalAlias) {
  const std::string base = MakeDirectory("base");
  for (const std::string& dir : {base, executable_}) {
    WriteBytes(dir + "PDOXUSRS.LCK", "lock");
    WriteBytes(dir + "paradox.lck", "lock");
  }
  ASSERT_TRUE(Profile(base, "[DBKERNEL]\r\nDBType=1\r\nAppServerPath=App\\Server\r\n"));

  EXPECT_TRUE(state_.ParadoxMode);
  EXPECT_EQ(state_.ConnectionName, "Klinova_Paradox");
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_Paradox");
  EXPECT_EQ(connection_.AliasName(), "");
  EXPECT_EQ(connection_.Params().Lines(), Lines{"PATH=" + base});
  for (const std::string& dir : {base, executable_}) {
    EXPECT_FALSE(std::filesystem::exists(dir + "PDOXUSRS.LCK")) << dir;
    EXPECT_FALSE(std::filesystem::exists(dir + "paradox.lck")) << dir;
  }
  EXPECT_TRUE(std::filesystem::is_directory(base + "App\\Server"));
  // The settings repair ran on the base: its version file now carries the gate.
  EXPECT_EQ(ReadBytes(base + "VARDOMEX.VER"),
            "[DBKERNEL]\r\nDBType=1\r\nAppServerPath=App\\Server\r\n"
            "[Troubles]\r\nInitBDESettings=0\r\n");
  EXPECT_EQ(Alias("Klinova_Paradox"),
            std::make_pair(std::string("STANDARD"),
                           DriverParams{{"PATH", ""}, {"DEFAULT DRIVER", "Paradox"}}));
}

// DBType and the marker tables choose the mode; an unknown DBType keeps the previous one.
TEST_F(ConnectionProfileTest, TheModeFollowsDBTypeOrTheMarkerTables) {
  struct Case {
    const char* name;
    bool previousParadoxProfile;
    const char* dbType;  // nullptr: no DBType line
    int markerTables;
    bool expectedParadox;
  };
  const Case cases[] = {
      {"absent, five markers", false, nullptr, 5, true},
      {"absent, four markers", false, nullptr, 4, false},
      {"-1, five markers", false, "-1", 5, true},
      {"no integer counts as absent", false, "Paradox", 5, true},
      {"0 despite the markers", false, "0", 5, false},
      {"1 without markers", false, "1", 0, true},
      {"2 as the first profile", false, "2", 5, false},
      {"2 after a Paradox profile", true, "2", 0, true},
      {"0x1 in hexadecimal", false, "0x1", 0, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    state_ = ConnectionState{};
    if (c.previousParadoxProfile) {
      ASSERT_TRUE(
          Profile(MakeDirectory("previous" + std::to_string(n)), "[DBKERNEL]\r\nDBType=1\r\n"));
      ASSERT_TRUE(state_.ParadoxMode);
    }
    const std::string base = MakeDirectory("base" + std::to_string(n++), c.markerTables);
    std::string file = kSqlServerProfile;
    if (c.dbType) file += std::string("DBType=") + c.dbType + "\r\n";
    EXPECT_TRUE(Profile(base, file)) << c.name;
    EXPECT_EQ(state_.ParadoxMode, c.expectedParadox) << c.name;
    EXPECT_EQ(connection_.DatabaseName(), c.expectedParadox ? "Klinova_Paradox" : "Klinova_SQL")
        << c.name;
  }
}

TEST_F(ConnectionProfileTest, AParadoxAliasIsUsedAsItStandsAfterTheLocksAndTheRepair) {
  const std::string base = MakeDirectory("base");
  WriteBytes(base + "PARADOX.LCK", "lock");
  WriteBytes(executable_ + "PDOXUSRS.LCK", "lock");
  ASSERT_TRUE(Profile(base, "[DBKERNEL]\r\nDBType=1\r\nAlias=CabinetDupont\r\n"));
  EXPECT_EQ(connection_.AliasName(), "CabinetDupont");
  EXPECT_EQ(connection_.DatabaseName(), "CabinetDupont");
  EXPECT_EQ(state_.ConnectionName, "CabinetDupont");
  EXPECT_EQ(connection_.Params().Count(), 0u);
  EXPECT_FALSE(std::filesystem::exists(base + "PARADOX.LCK"));
  EXPECT_FALSE(std::filesystem::exists(executable_ + "PDOXUSRS.LCK"));
  EXPECT_NE(ReadBytes(base + "VARDOMEX.VER").find("InitBDESettings=0"), std::string::npos);
  EXPECT_FALSE(EngineSession().AliasExists("Klinova_Paradox"));
}

TEST_F(ConnectionProfileTest, ASqlServerProfileDefinesItsAliasAndWritesSevenLines) {
  const std::string base = MakeDirectory("base");
  ASSERT_TRUE(Profile(base, std::string(kSqlServerProfile) + "DBType=0\r\nAlias=Ignored\r\n"));
  EXPECT_FALSE(state_.ParadoxMode);
  EXPECT_EQ(connection_.AliasName(), "");
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_SQL");
  EXPECT_EQ(state_.ConnectionName, "Klinova_SQL");
  EXPECT_EQ(connection_.Params().Lines(), SqlServerLines("300", "10000"));
  // Nothing of the Paradox steps: no repair, so the version file is as it was.
  EXPECT_EQ(ReadBytes(base + "VARDOMEX.VER"),
            std::string(kSqlServerProfile) + "DBType=0\r\nAlias=Ignored\r\n");
  EXPECT_EQ(Alias("Klinova_SQL"), SqlServerAlias("300"));
}

TEST_F(ConnectionProfileTest, BlobSettingsAreIntegersWithTheirDefaults) {
  struct Case {
    const char* lines;
    const char* blobSize;
    const char* blobsToCache;
  };
  const Case cases[] = {
      {"BlobSize=abc\r\n", "300", "10000"},
      {"BlobSize=0x20\r\nBlobsToCache=$10\r\n", "32", "16"},
      {"BlobSize=\r\nBlobsToCache=-5\r\n", "300", "-5"},
      {"BlobSize=+64\r\nBlobsToCache=0X7FFFFFFF\r\n", "64", "2147483647"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string base = MakeDirectory("base" + std::to_string(n++));
    ASSERT_TRUE(Profile(base, std::string(kSqlServerProfile) + c.lines)) << c.lines;
    EXPECT_EQ(connection_.Params().Lines(), SqlServerLines(c.blobSize, c.blobsToCache)) << c.lines;
  }
}

TEST_F(ConnectionProfileTest, ASecondSqlServerProfileKeepsTheAliasAndRewritesTheLines) {
  ASSERT_TRUE(Profile(MakeDirectory("first"), std::string(kSqlServerProfile) + "BlobSize=32\r\n"));
  ASSERT_TRUE(Profile(MakeDirectory("second"), std::string(kSqlServerProfile) + "BlobSize=64\r\n"));
  EXPECT_EQ(connection_.Params().Lines(), SqlServerLines("64", "10000"));
  EXPECT_EQ(Alias("Klinova_SQL"), SqlServerAlias("32"));
}

TEST_F(ConnectionProfileTest, ASqlServerProfileWithoutNamesFallsBackToTheAliasOrFails) {
  ASSERT_TRUE(Profile(MakeDirectory("sql"), kSqlServerProfile));
  ASSERT_EQ(state_.ConnectionName, "Klinova_SQL");

  // Server without database, no alias: false, the lines cleared, the names and ConnectionName
  // as they were.
  EXPECT_FALSE(Profile(MakeDirectory("half"), "[DBKERNEL]\r\nServerName=SRV\r\n"));
  EXPECT_EQ(connection_.Params().Count(), 0u);
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_SQL");
  EXPECT_EQ(state_.ConnectionName, "Klinova_SQL");

  ASSERT_TRUE(Profile(MakeDirectory("alias"), "[DBKERNEL]\r\nDBType=0\r\nAlias=Distant\r\n"));
  EXPECT_EQ(connection_.AliasName(), "Distant");
  EXPECT_EQ(connection_.DatabaseName(), "Distant");
  EXPECT_EQ(state_.ConnectionName, "Distant");
  EXPECT_EQ(connection_.Params().Count(), 0u);
}

TEST_F(ConnectionProfileTest, ADefaultProfileAfterAnAliasOneClearsTheAliasName) {
  ASSERT_TRUE(Profile(MakeDirectory("alias"), "[DBKERNEL]\r\nDBType=1\r\nAlias=CabinetDupont\r\n"));
  ASSERT_EQ(connection_.AliasName(), "CabinetDupont");
  ASSERT_TRUE(Profile(MakeDirectory("paradox"), "[DBKERNEL]\r\nDBType=1\r\n"));
  EXPECT_EQ(connection_.AliasName(), "");
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_Paradox");

  ASSERT_TRUE(
      Profile(MakeDirectory("alias2"), "[DBKERNEL]\r\nDBType=1\r\nAlias=CabinetDupont\r\n"));
  ASSERT_TRUE(Profile(MakeDirectory("sql"), kSqlServerProfile));
  EXPECT_EQ(connection_.AliasName(), "");
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_SQL");
}

TEST_F(ConnectionProfileTest, WithoutAVersionFileOnlyAParadoxBaseIsConfigured) {
  const std::string paradox = MakeDirectory("paradox", 5);
  ASSERT_TRUE(Profile(paradox));
  EXPECT_TRUE(state_.ParadoxMode);
  EXPECT_EQ(connection_.Params().Lines(), Lines{"PATH=" + paradox});
  EXPECT_EQ(ReadBytes(paradox + "VARDOMEX.VER"), "[Troubles]\r\nInitBDESettings=0\r\n");

  const std::string other = MakeDirectory("other", 4);
  EXPECT_FALSE(Profile(other));
  EXPECT_EQ(ErrorText(), "") << "no base here: nothing went wrong";
  EXPECT_FALSE(state_.ParadoxMode);
  EXPECT_EQ(state_.ConnectionName, "Klinova_Paradox");
  EXPECT_FALSE(std::filesystem::exists(other + "VARDOMEX.VER"));
}

TEST_F(ConnectionProfileTest, ALockFileThatCannotBeDeletedIsLeftAndTheProfileGoesOn) {
  const std::string base = MakeDirectory("base");
  WriteBytes(base + "PDOXUSRS.LCK", "lock");
  WriteBytes(base + "PARADOX.LCK", "lock");
  const HANDLE holder =
      CreateFileW(std::filesystem::path(base + "PDOXUSRS.LCK").wstring().c_str(), GENERIC_READ,
                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const bool result = Profile(base, "[DBKERNEL]\r\nDBType=1\r\nAppServerPath=VARDOMEX.VER\\x\r\n");
  CloseHandle(holder);
  EXPECT_TRUE(result);  // neither the held lock nor a directory that can't be made stops it
  EXPECT_TRUE(std::filesystem::exists(base + "PDOXUSRS.LCK"));
  EXPECT_FALSE(std::filesystem::exists(base + "PARADOX.LCK"));
  EXPECT_EQ(state_.ConnectionName, "Klinova_Paradox");
}

TEST_F(ConnectionProfileTest, AFailedRepairFailsTheProfileAndKeepsWhatWasDone) {
  ASSERT_TRUE(Profile(MakeDirectory("sql"), kSqlServerProfile));
  EngineSession().SetActive(false);
  WriteConfig([](Configuration& c) { c.SetField("\\SYSTEM\\INIT\\", "MAXFILEHANDLES", "many"); });

  const std::string base = MakeDirectory("base");
  WriteBytes(base + "PARADOX.LCK", "lock");
  EXPECT_FALSE(Profile(base, "[DBKERNEL]\r\nDBType=1\r\n[Troubles]\r\nInitBDESettings=1\r\n"));
  // Handed back for the selection to show.
  EXPECT_EQ(ErrorText(), "'many' n'est pas une valeur entière correcte");
  EXPECT_TRUE(state_.ParadoxMode);
  EXPECT_EQ(state_.ConnectionName, "Klinova_SQL");
  EXPECT_FALSE(std::filesystem::exists(base + "PARADOX.LCK"));
  EXPECT_EQ(connection_.Params().Count(), 0u);
  EngineSession().SetActive(false);
  EXPECT_EQ(Field("\\SYSTEM\\INIT\\", "LOCAL SHARE"), "TRUE");  // written before the error
}

TEST_F(ConnectionProfileTest, AnOpenConnectionRefusesTheChangeAndTheProfileFails) {
  Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
  const std::string paradox = MakeDirectory("paradox");
  ASSERT_TRUE(Profile(paradox, "[DBKERNEL]\r\nDBType=1\r\n"));
  connection_.Open();
  ASSERT_TRUE(connection_.Connected());

  const std::string sql = MakeDirectory("sql");
  EXPECT_FALSE(Profile(sql, std::string(kSqlServerProfile) + "DBType=0\r\n"));
  EXPECT_FALSE(state_.ParadoxMode);  // decided before the first change was refused
  EXPECT_EQ(state_.ConnectionName, "Klinova_Paradox");
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_Paradox");
  EXPECT_EQ(connection_.Params().Lines(), Lines{"PATH=" + paradox});
  EXPECT_TRUE(connection_.Connected());
  EXPECT_FALSE(EngineSession().AliasExists("Klinova_SQL"));
}

}  // namespace
}  // namespace patchpav
