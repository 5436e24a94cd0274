#include <gtest/gtest.h>

#include "app/WizardFixture.h"
#include "database/BDEProcs.h"
#include "database/DatabaseSelection.h"

namespace patchpav::testing {
namespace {

class SelectionTest : public WizardTest {
 protected:
  // The window in step 1 with a directory already known, as the locator leaves it.
  TMain& WindowInStep1(const std::string& directory) {
    TMain& main = CreateWindows();
    main.WizardStep = 1;
    main.LSource->SetCaption(directory);
    return main;
  }
};

TEST_F(SelectionTest, VersionGateAndVersionText) {
  struct Case {
    std::optional<int> stored;  // nullopt: VERSION holds no DATABASE row
    bool accepted;
    std::string shown;  // with "," standing for the user's decimal separator
  };
  const Case cases[] = {
      {430, true, "4,3"},   {431, true, "4,31"},        {1000, true, "10"},
      {429, false, "4,29"}, {std::nullopt, false, "0"},
  };
  // Under a French Windows (scripts/test runs these tests once more under a French Wine) the
  // version reads 4,3.
  if (PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_FRENCH) {
    EXPECT_EQ(DecimalSeparator(), ",");
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.value_or(-1));
    ScratchDirectory base;
    MakeBase(base.Path(), c.stored, {});
    DialogRobot robot;
    TMain& main = WindowInStep1(base.Text());
    main.SbRechercherSourceClick();

    std::string shown = c.shown;
    if (size_t comma = shown.find(','); comma != std::string::npos) {
      shown.replace(comma, 1, DecimalSeparator());
    }
    EXPECT_EQ(main.DatabaseVersion, shown);
    EXPECT_TRUE(main.DbSource.Connected());
    EXPECT_EQ(main.Label3->Caption(), "");
    // Hidden once connected; step 2 shows it again with the chosen directory.
    EXPECT_EQ(main.Label7->Visible(), c.accepted);
    if (c.accepted) {
      EXPECT_TRUE(robot.Seen().empty());
      EXPECT_EQ(main.WizardStep, 2);
      EXPECT_EQ(main.Label8->Caption(), "Version : " + shown);
      EXPECT_EQ(main.LSource->Caption(), base.Text());
      EXPECT_FALSE(Application().Terminated());
    } else {
      ASSERT_EQ(robot.Seen().size(), 1u);
      EXPECT_EQ(robot.Seen()[0].caption, "Erreur");
      EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
      EXPECT_EQ(robot.Seen()[0].text, kVersionRefusedText);
      EXPECT_EQ(robot.Seen()[0].buttons, std::vector<std::string>{"OK"});
      EXPECT_EQ(main.WizardStep, 1);
      EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
      EXPECT_TRUE(Application().Terminated());
    }
    Application().DestroyComponents();
    Application().ClearTermination();
  }
}

constexpr const char* kFileHandles = "\\SYSTEM\\INIT\\;MAXFILEHANDLES";

TEST_F(SelectionTest, EachFailureLeavesTheDialogWhereTheUserShouldLookNext) {
  enum Message { kNone, kPlainError, kGeneralError };
  struct Case {
    const char* name;
    std::string versionFile;  // empty: no version file
    Message message;
    std::string initialDir;
    bool connected;
    bool titleShown;
  };
  const Case cases[] = {
      // Neither a Paradox base nor an SQL Server profile.
      {"profile refused", "", kNone, "C:\\Klinova", false, true},
      // The settings repair meets a file-handle limit that is no number (set below).
      {"profile failed", "[DBKERNEL]\r\nDBType=1\r\n[Troubles]\r\nInitBDESettings=1\r\n",
       kGeneralError, "C:\\Klinova", false, true},
      {"connection refused", "[DBKERNEL]\r\nDBType=1\r\nAlias=NoSuchAlias\r\n", kPlainError,
       "C:\\Klinova", false, true},
      // A Paradox base without its VERSION table.
      {"version unreadable", "[DBKERNEL]\r\nDBType=1\r\n", kPlainError, "C:\\Klinova\\Base", true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory base;
    if (!c.versionFile.empty()) WriteText(base.Path() / "VARDOMEX.VER", c.versionFile);
    std::string fileHandles;
    GetEngineConfigEntry(kFileHandles, fileHandles);
    if (c.message == kGeneralError) SetEngineConfigEntry(kFileHandles, "beaucoup");
    DialogRobot robot;
    TMain& main = WindowInStep1(base.Text());
    main.SbRechercherSourceClick();
    SetEngineConfigEntry(kFileHandles, fileHandles);

    EXPECT_EQ(robot.Seen().size(), c.message == kNone ? 0u : 1u);
    if (c.message != kNone && !robot.Seen().empty()) {
      const SeenDialog& seen = robot.Seen()[0];
      EXPECT_EQ(seen.caption, kApplicationTitle);
      if (c.message == kPlainError) {
        EXPECT_EQ(seen.icon, DialogIcon::None);
        EXPECT_EQ(seen.text.rfind("Erreur : ", 0), 0u) << seen.text;
        EXPECT_GT(seen.text.size(), 9u);
      } else {
        EXPECT_EQ(seen.icon, DialogIcon::Error);
        EXPECT_EQ(seen.text, "'beaucoup' n'est pas une valeur entière correcte.");
      }
    }
    EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
    EXPECT_EQ(main.OpenDialog1.InitialDir, c.initialDir);
    EXPECT_EQ(main.DbSource.Connected(), c.connected);
    EXPECT_EQ(main.Label7->Visible(), c.titleShown);
    EXPECT_EQ(main.Label3->Caption(), "");
    EXPECT_EQ(main.WizardStep, 1);
    EXPECT_FALSE(Application().Terminated());
    Application().DestroyComponents();
  }
}

TEST_F(SelectionTest, ACancelledDialogChangesNothingButTheTitle) {
  DialogRobot robot;
  robot.CancelFile();
  TMain& main = WindowInStep1("Sélectionner la base");
  main.Label3->SetCaption("avant");
  main.SbRechercherSourceClick();
  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_TRUE(robot.Seen()[0].fileDialog);
  EXPECT_EQ(robot.Seen()[0].fileName, "Vardomex.ver");
  EXPECT_EQ(robot.Seen()[0].fileType, "Base Klinova");
  EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
  EXPECT_EQ(main.Label3->Caption(), "avant");
  EXPECT_TRUE(main.Label7->Visible());
  EXPECT_FALSE(main.DbSource.Connected());
  EXPECT_EQ(main.WizardStep, 1);
}

TEST_F(SelectionTest, TheChosenFileGivesItsDirectoryWhateverItsName) {
  ScratchDirectory base;
  MakeBase(base.Path(), 430, {});
  WriteText(base.Path() / "autre.txt", "");
  DialogRobot robot;
  robot.AnswerFile(base.Text() + "autre.txt");
  TMain& main = WindowInStep1("Sélectionner la base");
  main.SbRechercherSourceClick();
  EXPECT_EQ(main.LSource->Caption(), base.Text());
  EXPECT_EQ(main.WizardStep, 2);
}

TEST(VersionTextTest, GeneralFormatWithTheGivenSeparator) {
  struct Case {
    int stored;
    const char* separator;
    const char* text;
  };
  const Case cases[] = {{430, ",", "4,3"},       {430, ".", "4.3"}, {431, ",", "4,31"},
                        {500, ",", "5"},         {0, ",", "0"},     {-5, ",", "-0,05"},
                        {123456, ".", "1234.56"}};
  for (const Case& c : cases) EXPECT_EQ(VersionText(c.stored, c.separator), c.text);
  EXPECT_TRUE(VersionAccepted(430));
  EXPECT_FALSE(VersionAccepted(429));
}

}  // namespace
}  // namespace patchpav::testing
