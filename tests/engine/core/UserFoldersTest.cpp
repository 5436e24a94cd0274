#include "engine/core/UserFolders.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace patchpav {
namespace {

// The folder is the shell's, whatever the environment says: a LOCALAPPDATA pointed elsewhere
// (by a script, a roaming profile, a launcher) does not move the user's files. Only the test
// variable does.
TEST(UserFoldersTest, LocalAppDataIsTheShellsAndOnlyTheTestVariableOverridesIt) {
  SetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", nullptr);
  const std::filesystem::path shells = LocalAppDataFolder();
  EXPECT_TRUE(shells.is_absolute()) << shells;

  SetEnvironmentVariableW(L"LOCALAPPDATA", L"C:\\Ailleurs\\Local");
  EXPECT_EQ(LocalAppDataFolder(), shells);

  SetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", L"C:\\Tests\\Local");
  EXPECT_EQ(LocalAppDataFolder(), std::filesystem::path(L"C:\\Tests\\Local"));
  SetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", nullptr);
}

}  // namespace
}  // namespace patchpav
