#include "database/ConnectionProfile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "database/ConnectionState.h"
#include "database/EngineConfigFixture.h"
#include "engine/Configuration.h"
#include "engine/Database.h"
#include "engine/Session.h"

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
    ParadoxMode = false;
    ConnectionName.clear();
  }
  void TearDown() override {
    if (connection_.Connected()) connection_.Close();
    EngineSession().SetActive(false);
    EXPECT_FALSE(Engine::Instance().Initialised());
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
  bool Profile(const std::string& base) {
    return OpenDatabaseProfile({base, executable_}, connection_, EngineSession());
  }
  // The alias's node as the engine keeps it, fields in their order.
  Lines AliasNode(const std::string& alias) {
    EngineSession().SetActive(false);  // written to the file; read it as it stands there
    const auto* fields =
        Configuration::Load(ConfigPath()).Fields("\\DATABASES\\" + alias + "\\DB INFO\\");
    Lines lines;
    if (fields) {
      for (const ConfigField& f : *fields) lines.push_back(f.name + "=" + f.value);
    }
    return lines;
  }

  std::string executable_ = MakeDirectory("exe");
  TDatabase connection_;
};

Lines SqlServerLines(const std::string& blobSize, const std::string& blobsToCache) {
  return {"USER NAME=sa",          "PASSWORD=tovrak",
          "BLOB SIZE=" + blobSize, "BLOBS TO CACHE=" + blobsToCache,
          "DATABASE NAME=KLINOVA", "SERVER NAME=SRV\\SQL2008",
          "LANGDRIVER=BLLT1FR0"};
}

TEST_F(ConnectionProfileTest, AParadoxBaseGoesThroughTheDefaultLocalAlias) {
  const std::string base = MakeDirectory("base");
  for (const std::string& dir : {base, executable_}) {
    WriteBytes(dir + "PDOXUSRS.LCK", "lock");
    WriteBytes(dir + "paradox.lck", "lock");
  }
  ASSERT_TRUE(Profile(base, "[DBKERNEL]\r\nDBType=1\r\nAppServerPath=App\\Server\r\n"));

  EXPECT_TRUE(ParadoxMode);
  EXPECT_EQ(ConnectionName, "Klinova_Paradox");
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
  EXPECT_EQ(AliasNode("Klinova_Paradox"),
            (Lines{"TYPE=STANDARD", "PATH=", "DEFAULT DRIVER=Paradox"}));
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
    ParadoxMode = false;
    if (c.previousParadoxProfile) {
      ASSERT_TRUE(
          Profile(MakeDirectory("previous" + std::to_string(n)), "[DBKERNEL]\r\nDBType=1\r\n"));
      ASSERT_TRUE(ParadoxMode);
    }
    const std::string base = MakeDirectory("base" + std::to_string(n++), c.markerTables);
    std::string file = kSqlServerProfile;
    if (c.dbType) file += std::string("DBType=") + c.dbType + "\r\n";
    EXPECT_TRUE(Profile(base, file)) << c.name;
    EXPECT_EQ(ParadoxMode, c.expectedParadox) << c.name;
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
  EXPECT_EQ(ConnectionName, "CabinetDupont");
  EXPECT_EQ(connection_.Params().Count(), 0u);
  EXPECT_FALSE(std::filesystem::exists(base + "PARADOX.LCK"));
  EXPECT_FALSE(std::filesystem::exists(executable_ + "PDOXUSRS.LCK"));
  EXPECT_NE(ReadBytes(base + "VARDOMEX.VER").find("InitBDESettings=0"), std::string::npos);
  EXPECT_FALSE(EngineSession().AliasExists("Klinova_Paradox"));
}

TEST_F(ConnectionProfileTest, ASqlServerProfileDefinesItsAliasAndWritesSevenLines) {
  const std::string base = MakeDirectory("base");
  ASSERT_TRUE(Profile(base, std::string(kSqlServerProfile) + "DBType=0\r\nAlias=Ignored\r\n"));
  EXPECT_FALSE(ParadoxMode);
  EXPECT_EQ(connection_.AliasName(), "");
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_SQL");
  EXPECT_EQ(ConnectionName, "Klinova_SQL");
  EXPECT_EQ(connection_.Params().Lines(), SqlServerLines("300", "10000"));
  // Nothing of the Paradox steps: no repair, so the version file is as it was.
  EXPECT_EQ(ReadBytes(base + "VARDOMEX.VER"),
            std::string(kSqlServerProfile) + "DBType=0\r\nAlias=Ignored\r\n");
  EXPECT_EQ(AliasNode("Klinova_SQL"), (Lines{"TYPE=MSSQL", "USER NAME=sa", "BLOB SIZE=300",
                                             "BLOBS TO CACHE=10000", "LANGDRIVER=BLLT1FR0"}));
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
  EXPECT_EQ(AliasNode("Klinova_SQL"), (Lines{"TYPE=MSSQL", "USER NAME=sa", "BLOB SIZE=32",
                                             "BLOBS TO CACHE=10000", "LANGDRIVER=BLLT1FR0"}));
}

TEST_F(ConnectionProfileTest, ASqlServerProfileWithoutNamesFallsBackToTheAliasOrFails) {
  ASSERT_TRUE(Profile(MakeDirectory("sql"), kSqlServerProfile));
  ASSERT_EQ(ConnectionName, "Klinova_SQL");

  // Server without database, no alias: false, the lines cleared, the names and ConnectionName
  // as they were.
  EXPECT_FALSE(Profile(MakeDirectory("half"), "[DBKERNEL]\r\nServerName=SRV\r\n"));
  EXPECT_EQ(connection_.Params().Count(), 0u);
  EXPECT_EQ(connection_.DatabaseName(), "Klinova_SQL");
  EXPECT_EQ(ConnectionName, "Klinova_SQL");

  ASSERT_TRUE(Profile(MakeDirectory("alias"), "[DBKERNEL]\r\nDBType=0\r\nAlias=Distant\r\n"));
  EXPECT_EQ(connection_.AliasName(), "Distant");
  EXPECT_EQ(connection_.DatabaseName(), "Distant");
  EXPECT_EQ(ConnectionName, "Distant");
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
  EXPECT_TRUE(ParadoxMode);
  EXPECT_EQ(connection_.Params().Lines(), Lines{"PATH=" + paradox});
  EXPECT_EQ(ReadBytes(paradox + "VARDOMEX.VER"), "[Troubles]\r\nInitBDESettings=0\r\n");

  const std::string other = MakeDirectory("other", 4);
  EXPECT_FALSE(Profile(other));
  EXPECT_FALSE(ParadoxMode);
  EXPECT_EQ(ConnectionName, "Klinova_Paradox");
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
  EXPECT_EQ(ConnectionName, "Klinova_Paradox");
}

TEST_F(ConnectionProfileTest, AFailedRepairFailsTheProfileAndKeepsWhatWasDone) {
  ASSERT_TRUE(Profile(MakeDirectory("sql"), kSqlServerProfile));
  EngineSession().SetActive(false);
  WriteConfig([](Configuration& c) { c.SetField("\\SYSTEM\\INIT\\", "MAXFILEHANDLES", "many"); });

  const std::string base = MakeDirectory("base");
  WriteBytes(base + "PARADOX.LCK", "lock");
  EXPECT_FALSE(Profile(base, "[DBKERNEL]\r\nDBType=1\r\n[Troubles]\r\nInitBDESettings=1\r\n"));
  EXPECT_TRUE(ParadoxMode);
  EXPECT_EQ(ConnectionName, "Klinova_SQL");
  EXPECT_FALSE(std::filesystem::exists(base + "PARADOX.LCK"));
  EXPECT_EQ(connection_.Params().Count(), 0u);
  EngineSession().SetActive(false);
  EXPECT_EQ(Field("\\SYSTEM\\INIT\\", "LOCAL SHARE"), "TRUE");  // written before the error
}

}  // namespace
}  // namespace patchpav
