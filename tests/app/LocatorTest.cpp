#include <gtest/gtest.h>

#include "app/WizardFixture.h"
#include "framework/Utf.h"

namespace patchpav::testing {
namespace {

using LocatorTest = WizardTest;

TEST_F(LocatorTest, MovedInstallationIsReportedAskedForUntilChosenAndRecorded) {
  MakeBase(BasePath(), 430, {});
  WriteSettings(BaseText());
  RegisterInstallation("C:\\Ailleurs\\Klinova\\");
  DialogRobot robot;
  robot.Answer("OK");
  robot.CancelFile();  // a cancelled dialog opens again at once
  robot.AnswerFile(InstallText() + "Vardomex.exe");
  TMain& main = CreateWindows();
  main.Show();

  ASSERT_EQ(robot.Seen().size(), 3u);
  EXPECT_EQ(robot.Seen()[0].caption, "Erreur");
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
  EXPECT_EQ(robot.Seen()[0].text,
            "L'emplacement de Klinova SQL a été modifié depuis son installation.\rSelon la base "
            "de registre de votre poste, le programme devrait se trouver dans : "
            "\rC:\\Ailleurs\\Klinova\\\r\rVeuillez modifier la configuration.");
  for (size_t i : {1u, 2u}) {
    EXPECT_TRUE(robot.Seen()[i].fileDialog);
    EXPECT_EQ(robot.Seen()[i].fileName, "Vardomex.exe");
    EXPECT_EQ(robot.Seen()[i].fileType, "Programme Klinova");
    EXPECT_EQ(robot.Seen()[i].folder, "C:\\");
  }
  EXPECT_EQ(InstallDir, InstallText());
  EXPECT_EQ(RegisteredPath(), InstallText());
  EXPECT_EQ(
      RegistryKey::Open(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsAccess).ReadString(""),
      InstallText() + "Vardomex.exe");
  EXPECT_EQ(main.OpenDialog1.FileName, "Vardomex.ver");
  EXPECT_EQ(main.OpenDialog1.Filter, "Base Klinova|vardomex.ver");
  EXPECT_EQ(main.OpenDialog1.InitialDir, "C:\\Klinova\\Base");
  EXPECT_EQ(WizardStep, 2);
}

// The system's dialog, made to fail the way a dialog that cannot open does: the real call,
// refused by comdlg32 itself, which then answers CommDlgExtendedError with the reason. Past a
// few failures it answers as if the user had chosen the product's executable, so that a locator
// that keeps asking ends, and the test can say so, rather than spinning.
int failedDialogs = 0;
std::wstring chosenAtLast;
BOOL WINAPI FailingOpenDialog(LPOPENFILENAMEW dialog) {
  if (++failedDialogs > 3) {
    chosenAtLast.copy(dialog->lpstrFile, dialog->nMaxFile - 1);
    dialog->lpstrFile[chosenAtLast.size()] = L'\0';
    return TRUE;
  }
  OPENFILENAMEW broken = *dialog;
  broken.lStructSize = 0;
  return GetOpenFileNameW(&broken);
}

TEST_F(LocatorTest, AFileDialogThatCannotOpenIsAnErrorNotACancel) {
  MakeBase(BasePath(), 430, {});
  WriteSettings(BaseText());
  RegisterInstallation("C:\\Ailleurs\\Klinova\\");
  DialogRobot robot;
  robot.Answer("OK");
  robot.Answer("OK");
  failedDialogs = 0;
  chosenAtLast = Utf8ToWide(InstallText() + "Vardomex.exe");
  TMain& main = CreateWindows();
  main.OpenDialog1.Show = FailingOpenDialog;
  main.Show();

  EXPECT_EQ(failedDialogs, 1) << "the failed dialog was taken for a cancel and opened again";
  ASSERT_EQ(robot.Seen().size(), 2u);
  EXPECT_EQ(robot.Seen()[0].caption, "Erreur");  // the installation has moved
  // The application's general error message, once.
  EXPECT_EQ(robot.Seen()[1].caption, "Patch d'ajustement des dettes des tiers payant");
  EXPECT_EQ(robot.Seen()[1].icon, DialogIcon::Error);
  EXPECT_EQ(robot.Seen()[1].text,
            "La boîte de dialogue d'ouverture de fichier n'a pas pu s'afficher (erreur 0x0001).");
  // The window shows in step 1, from where the user can still choose the base; the dialog has
  // its defaults back.
  EXPECT_EQ(WizardStep, 1);
  EXPECT_TRUE(main.Visible());
  EXPECT_EQ(RegisteredPath(), "C:\\Ailleurs\\Klinova\\");
  EXPECT_EQ(main.OpenDialog1.FileName, "Vardomex.ver");
  EXPECT_EQ(main.OpenDialog1.InitialDir, "C:\\Klinova\\Base");
}

TEST_F(LocatorTest, DefaultDirectoryIsProposedWhenNothingIsRegistered) {
  for (bool yes : {true, false}) {
    SCOPED_TRACE(yes);
    DeleteAppPathsEntry();
    std::filesystem::create_directories("C:\\Klinova");
    WriteText("C:\\Klinova\\Vardomex.exe", "stand-in");
    DialogRobot robot;
    robot.Answer(yes ? "&Oui" : "&Non");
    if (yes) {
      robot.CancelFile();  // C:\Klinova has no settings: the version file is asked for
    } else {
      robot.Answer("OK");
      robot.AnswerFile(InstallText() + "Vardomex.exe");
      robot.CancelFile();
    }
    TMain& main = CreateWindows();
    main.Show();

    ASSERT_GE(robot.Seen().size(), 2u);
    EXPECT_EQ(robot.Seen()[0].caption, "Confirmation");
    EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Question);
    EXPECT_EQ(robot.Seen()[0].buttons, (std::vector<std::string>{"&Oui", "&Non"}));
    EXPECT_EQ(robot.Seen()[0].text,
              "\"Vardomex.exe\" a été trouvé dans le dossier \"C:\\Klinova\".\rKlinova SQL est-il "
              "installé à cet endroit (répertoire d'installation par défaut du programme) ?");
    if (yes) {
      ASSERT_EQ(robot.Seen().size(), 2u);
      EXPECT_EQ(InstallDir, "C:\\Klinova\\");
      EXPECT_EQ(RegisteredPath(), "C:\\Klinova\\");
      EXPECT_EQ(
          RegistryKey::Open(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsAccess).ReadString(""),
          "C:\\Klinova\\Vardomex.exe");
      EXPECT_EQ(robot.Seen()[1].fileName, "Vardomex.ver");  // the version file, not the program
    } else {
      ASSERT_EQ(robot.Seen().size(), 4u);
      EXPECT_EQ(robot.Seen()[1].caption, "Avertissement");
      EXPECT_EQ(robot.Seen()[1].icon, DialogIcon::Warning);
      EXPECT_EQ(robot.Seen()[1].text,
                "Veuillez indiquer le répertoire d'installation de Klinova SQL.");
      EXPECT_EQ(robot.Seen()[2].fileName, "Vardomex.exe");
      EXPECT_EQ(InstallDir, InstallText());
      EXPECT_EQ(RegisteredPath(), InstallText());
    }
    EXPECT_EQ(WizardStep, 1);
    EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
    Application().DestroyComponents();
  }
}

TEST_F(LocatorTest, PrivateDirectoryIsComparedWithoutCaseOrTheEnginesBackslash) {
  TSession& session = EngineSession();
  std::string install = InstallText();  // ends with a backslash
  std::string lower = install.substr(0, install.size() - 1);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  session.SetPrivateDir(lower);
  PointEngineSession(session, install);
  EXPECT_EQ(session.PrivateDir(), lower) << "same directory: left alone";
  EXPECT_EQ(session.NetFileDir(), "C:\\");

  ScratchDirectory other;
  session.SetPrivateDir(other.Path().string());
  PointEngineSession(session, install);
  EXPECT_EQ(session.PrivateDir(), install);

  // A private directory the engine refuses is left as it was.
  PointEngineSession(session, "C:\\Nulle\\Part\\");
  EXPECT_EQ(session.PrivateDir(), install);
}

TEST_F(LocatorTest, ServerValueGivesTheDatabaseDirectoryWhenItHoldsTheVersionFile) {
  WriteText(BasePath() / "Vardomex.ver", "");
  struct Case {
    std::string server;
    std::string expected;
  };
  const Case cases[] = {
      {BasePath().string(), BaseText()},
      {BaseText(), BaseText()},
      {"", "Sélectionner la base"},
      {install_.Text() + "Vide", "Sélectionner la base"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    WriteSettings(c.server);
    EXPECT_EQ(DatabaseDirectoryOf(InstallText()), c.expected);
  }
  std::filesystem::remove(install_.Path() / "Vardomex.ini");
  EXPECT_EQ(DatabaseDirectoryOf(InstallText()), "Sélectionner la base");
}

}  // namespace
}  // namespace patchpav::testing
