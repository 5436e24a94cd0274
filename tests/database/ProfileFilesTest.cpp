#include "database/ProfileFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/ScratchDirectory.h"

namespace patchpav {
namespace {

void Touch(const std::filesystem::path& path) { std::ofstream(path, std::ios::binary) << "x"; }

TEST(AddBackslash, AppendsOneBackslashOnlyWhereMissing) {
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("C:\\Klinova\\Base"), "C:\\Klinova\\Base\\");
  EXPECT_EQ(AddBackslash("C:\\Klinova\\Base\\"), "C:\\Klinova\\Base\\");
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("base/"), "base/\\");
}

TEST(ExtractFilePath, KeepsTheFinalSeparator) {
  EXPECT_EQ(ExtractFilePath("C:\\Klinova\\Base\\VARDOMEX.VER"), "C:\\Klinova\\Base\\");
  EXPECT_EQ(ExtractFilePath("C:VARDOMEX.VER"), "C:");
  EXPECT_EQ(ExtractFilePath("VARDOMEX.VER"), "");
  // Network bases: the share and the long-path form keep their whole directory.
  EXPECT_EQ(ExtractFilePath("\\\\SERVEUR\\Klinova\\Base\\VARDOMEX.VER"),
            "\\\\SERVEUR\\Klinova\\Base\\");
  EXPECT_EQ(ExtractFilePath("\\\\?\\UNC\\SERVEUR\\Klinova\\Base\\VARDOMEX.VER"),
            "\\\\?\\UNC\\SERVEUR\\Klinova\\Base\\");
  EXPECT_EQ(AddBackslash("\\\\SERVEUR\\Klinova\\Base"), "\\\\SERVEUR\\Klinova\\Base\\");
}

// The application-server directory is created inside the base, never beside or above it.
TEST(IsRelativeBelow, OnlyPathsThatStayInsideTheBase) {
  struct Case {
    const char* path;
    bool below;
  };
  const Case cases[] = {
      {"App", true},
      {"App\\Server", true},
      {"App/Server/", true},
      {".\\App", true},
      {"App..Server", true},
      {"", false},
      {"..", false},
      {"..\\..\\Windows", false},
      {"App\\..\\..\\Autre", false},
      {"App/../..", false},
      {".. \\Autre", false},
      {"...\\Autre", false},
      {"\\Klinova\\App", false},
      {"/App", false},
      {"C:\\App", false},
      {"C:App", false},
      {"\\\\SERVEUR\\Klinova\\App", false},
      {"\\\\?\\UNC\\SERVEUR\\Klinova\\App", false},
      {"App:flux", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRelativeBelow(c.path), c.below) << c.path;
}

TEST(DeleteIfExists, DeletesWhatItCanAndNeverRaises) {
  ScratchDirectory dir;
  const std::filesystem::path lock = dir.Path() / "PARADOX.LCK";
  EXPECT_TRUE(DeleteIfExists(dir.Text() + "PARADOX.LCK"));  // nothing there

  Touch(lock);
  EXPECT_TRUE(DeleteIfExists(dir.Text() + "paradox.lck"));  // any letter case names it
  EXPECT_FALSE(std::filesystem::exists(lock));

  // A lock file that the program holding the base still has open stays where it is.
  Touch(lock);
  const HANDLE holder = CreateFileW(lock.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteIfExists(dir.Text() + "PARADOX.LCK"));
  CloseHandle(holder);
  EXPECT_TRUE(std::filesystem::exists(lock));
}

TEST(IsParadoxBase, NeedsAllFiveMarkerTablesInAnyLetterCase) {
  const char* tables[] = {"metatable.db", "METAFIELD.DB", "TableLink.db", "patients.db",
                          "Medecins.DB"};
  for (int missing = 0; missing < 5; ++missing) {
    ScratchDirectory dir;
    for (int i = 0; i < 5; ++i) {
      if (i != missing) Touch(dir.Path() / tables[i]);
    }
    EXPECT_FALSE(IsParadoxBase(dir.Text())) << "without " << tables[missing];
  }
  ScratchDirectory full;
  for (const char* table : tables) Touch(full.Path() / table);
  EXPECT_TRUE(IsParadoxBase(full.Text()));
  // The directory text is used as it stands: without its backslash it names other files.
  EXPECT_FALSE(IsParadoxBase(full.Path().string()));
}

TEST(ForceDirectories, CreatesMissingParents) {
  ScratchDirectory dir;
  EXPECT_TRUE(ForceDirectories(dir.Text() + "App\\Server\\Data"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "App" / "Server" / "Data"));
  Touch(dir.Path() / "file");
  EXPECT_FALSE(ForceDirectories(dir.Text() + "file\\below"));
}

}  // namespace
}  // namespace patchpav
