// A base reached through a drive letter that is not the local disk: under Wine the letter K: of
// the test prefix is a link to a directory of the build (tests/app/with-mapped-drive makes it),
// as a mapped network drive is a letter on someone else's directory. The whole road goes
// through the letter: the settings file names it, the locator accepts it, the profile and the
// settings repair write its version file, the driver opens and corrects its table, and the
// backup copies the table from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/WizardFixture.h"

namespace patchpav::testing {
namespace {

std::vector<char> Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Text(const std::filesystem::path& file) {
  const std::vector<char> bytes = Bytes(file);
  return {bytes.begin(), bytes.end()};
}

class MappedDriveTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    ASSERT_NE(GetFileAttributesW(L"K:\\"), INVALID_FILE_ATTRIBUTES)
        << "the drive K: of the test prefix is missing (see tests/app/with-mapped-drive)";
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "Base");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    WizardTest::TearDown();
  }
  const std::filesystem::path root_ =
      std::filesystem::path("K:\\") / ("Klinova" + std::to_string(GetCurrentProcessId()));
};

TEST_F(MappedDriveTest, ABaseOnAMappedDriveIsSelectedCorrectedAndBackedUp) {
  const std::filesystem::path base = root_ / "Base";
  MakeBase(base, 430, {{1, {25, -18, 0, 0, 0, 0, 0}}, {2, {10, 20, 0, 0, 0, 0, 0}}});
  const std::vector<char> table = Bytes(base / "CPMAIN.DB");
  RegisterInstallation(InstallText());
  WriteSettings(base.string());
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();

  ASSERT_EQ(main.WizardStep, 2) << (robot.Seen().empty() ? "" : robot.Seen()[0].text);
  EXPECT_TRUE(robot.Seen().empty());
  EXPECT_EQ(main.LSource->Caption(), base.string() + "\\");
  // The settings repair kept its bookkeeping in the version file on the drive.
  EXPECT_NE(Text(base / "VARDOMEX.VER").find("InitBDESettings=0"), std::string::npos);

  robot.Answer("OK");
  Click(*main.BtExecuter);
  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, "Information") << robot.Seen()[0].text;
  const std::vector<AmountRow> rows = ReadAmounts(base);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].amounts, (std::vector<double>{7, 0, 0, 0, 0, 0, 0}));
  std::vector<std::filesystem::path> folders;
  for (const auto& entry : std::filesystem::directory_iterator(BackupsPath())) {
    folders.push_back(entry.path());
  }
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(Bytes(folders[0] / "CPMAIN.DB"), table);
  EXPECT_NE(Text(folders[0] / "journal.csv").find("\r\n1;25;-18;"), std::string::npos);
}

}  // namespace
}  // namespace patchpav::testing
