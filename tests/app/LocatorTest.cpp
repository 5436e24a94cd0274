#include <gtest/gtest.h>

#include <regex>

#include "app/WizardFixture.h"
#include "engine/Session.h"
#include "framework/Utf.h"
#include "install/ServerDirectory.h"

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
  ExpectHiddenWhileUp(robot, main, 3);
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
  EXPECT_EQ(main.InstallDir, InstallText());
  EXPECT_EQ(RegisteredPath(), InstallText());
  EXPECT_EQ(
      RegistryKey::Open(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsReadAccess).ReadString(""),
      InstallText() + "Vardomex.exe");
  EXPECT_EQ(main.OpenDialog1.FileName, "Vardomex.ver");
  EXPECT_EQ(main.OpenDialog1.Filter, "Base Klinova|vardomex.ver");
  EXPECT_EQ(main.OpenDialog1.InitialDir, "C:\\Klinova\\Base");
  EXPECT_EQ(main.WizardStep, 2);
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
  EXPECT_EQ(main.WizardStep, 1);
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
    ExpectHiddenWhileUp(robot, main, robot.Seen().size());
    EXPECT_EQ(robot.Seen()[0].caption, "Confirmation");
    EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Question);
    EXPECT_EQ(robot.Seen()[0].buttons, (std::vector<std::string>{"&Oui", "&Non"}));
    EXPECT_EQ(robot.Seen()[0].text,
              "\"Vardomex.exe\" a été trouvé dans le dossier \"C:\\Klinova\".\rKlinova SQL est-il "
              "installé à cet endroit (répertoire d'installation par défaut du programme) ?");
    if (yes) {
      ASSERT_EQ(robot.Seen().size(), 2u);
      EXPECT_EQ(main.InstallDir, "C:\\Klinova\\");
      EXPECT_EQ(RegisteredPath(), "C:\\Klinova\\");
      EXPECT_EQ(RegistryKey::Open(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsReadAccess)
                    .ReadString(""),
                "C:\\Klinova\\Vardomex.exe");
      EXPECT_EQ(robot.Seen()[1].fileName, "Vardomex.ver");  // the version file, not the program
    } else {
      ASSERT_EQ(robot.Seen().size(), 4u);
      EXPECT_EQ(robot.Seen()[1].caption, "Avertissement");
      EXPECT_EQ(robot.Seen()[1].icon, DialogIcon::Warning);
      EXPECT_EQ(robot.Seen()[1].text,
                "Veuillez indiquer le répertoire d'installation de Klinova SQL.");
      EXPECT_EQ(robot.Seen()[2].fileName, "Vardomex.exe");
      EXPECT_EQ(main.InstallDir, InstallText());
      EXPECT_EQ(RegisteredPath(), InstallText());
    }
    EXPECT_EQ(main.WizardStep, 1);
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
  std::filesystem::create_directory(install_.Path() / "Base");
  WriteText(install_.Path() / "Base" / "Vardomex.ver", "");
  const Case cases[] = {
      {BasePath().string(), BaseText()},
      {BaseText(), BaseText()},
      {"", "Sélectionner la base"},
      {install_.Text() + "Vide", "Sélectionner la base"},
      // Relative to the installation, whatever the working directory.
      {"Base", install_.Text() + "Base\\"},
      {".\\Base\\", install_.Text() + "Base\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    WriteSettings(c.server);
    EXPECT_EQ(DatabaseDirectoryOf(InstallText()), c.expected);
  }
  std::filesystem::remove(install_.Path() / "Vardomex.ini");
  EXPECT_EQ(DatabaseDirectoryOf(InstallText()), "Sélectionner la base");
}

// A registry that refuses the write of the chosen directory, on either way of choosing it: the
// error reaches the general error message, and the window shows in step 1 with nothing touched.
TEST_F(LocatorTest, RefusedRegistryWriteReachesTheGeneralErrorMessage) {
  for (bool defaultDirectory : {true, false}) {
    SCOPED_TRACE(defaultDirectory ? "yes to C:\\Klinova" : "the executable chosen in the dialog");
    DeleteAppPathsEntry();
    RefuseWritingAppPathsEntry();
    std::error_code ignored;
    std::filesystem::remove_all("C:\\Klinova", ignored);
    if (defaultDirectory) {
      std::filesystem::create_directories("C:\\Klinova");
      WriteText("C:\\Klinova\\Vardomex.exe", "stand-in");
    }
    const std::string netFileDir = EngineSession().NetFileDir();
    DialogRobot robot;
    if (defaultDirectory) {
      robot.Answer("&Oui");
    } else {
      robot.Answer("OK");
      robot.AnswerFile(InstallText() + "Vardomex.exe");
    }
    robot.Answer("OK");
    TMain& main = CreateWindows();
    main.Show();

    const size_t count = defaultDirectory ? 2u : 3u;
    ASSERT_EQ(robot.Seen().size(), count);
    ExpectHiddenWhileUp(robot, main, count);
    EXPECT_EQ(robot.Seen()[0].caption, defaultDirectory ? "Confirmation" : "Avertissement");
    const SeenDialog& error = robot.Seen().back();
    EXPECT_EQ(error.caption, kApplicationTitle);
    EXPECT_EQ(error.icon, DialogIcon::Error);
    // The key, the view and what to write there, for an administrator; the system's code is
    // whatever this registry answered.
    const std::string directory = defaultDirectory ? "C:\\Klinova\\" : InstallText();
    EXPECT_EQ(
        std::regex_replace(error.text, std::regex("erreur Windows [0-9]+"), "erreur Windows N"),
        "L'emplacement de Klinova SQL n'a pas pu être enregistré dans la base de registre "
        "(erreur Windows N) : clé HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
        "CurrentVersion\\App Paths\\Vardomex.exe (vue 32 bits, sous SOFTWARE\\WOW6432Node "
        "sur un Windows 64 bits).\rUn administrateur du poste peut l'y enregistrer : valeur "
        "par défaut « " +
            directory + "Vardomex.exe », valeur « Path » « " + directory + " ».");
    EXPECT_EQ(main.WizardStep, 1);
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
    EXPECT_FALSE(main.BtExecuter->Enabled());
    EXPECT_EQ(EngineSession().NetFileDir(), netFileDir);
    EXPECT_EQ(main.OpenDialog1.FileName, "Vardomex.ver");
    EXPECT_EQ(main.OpenDialog1.InitialDir, "C:\\Klinova\\Base");
    Application().DestroyComponents();
    Application().ClearTermination();
  }
}

// The flags each dialog of the wizard was shown with; every dialog is cancelled.
std::vector<DWORD> shownFlags;
BOOL WINAPI RecordFlagsAndCancel(LPOPENFILENAMEW dialog) {
  shownFlags.push_back(dialog->Flags);
  return FALSE;
}

// A typed name that does not exist is refused by the dialog itself, so that it can never be
// recorded in the registry as the installation nor taken for the base.
TEST_F(LocatorTest, BothDialogsWantAnExistingFile) {
  TMain& main = CreateWindows();
  main.OpenDialog1.Show = RecordFlagsAndCancel;
  shownFlags.clear();
  EXPECT_EQ(main.Localiser("Vardomex.exe", "Programme Klinova|Vardomex.exe", "C:\\"), "");
  main.WizardStep = 1;
  main.SbRechercherSourceClick();
  ASSERT_EQ(shownFlags.size(), 2u);
  for (DWORD flags : shownFlags) {
    EXPECT_EQ(flags & (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST),
              DWORD{OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST});
  }
}

TEST(ServerDirectory, ResolvedAgainstTheInstallationAndAbsolute) {
  struct Case {
    const char* installDir;
    const char* server;
    const char* expected;  // "" for a value that is refused
  };
  const Case cases[] = {
      {"C:\\Klinova\\", "C:\\Klinova\\Base", "C:\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "C:\\Klinova\\Base\\", "C:\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "Base", "C:\\Klinova\\Base\\"},
      {"C:\\Klinova\\", ".\\Base\\", "C:\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "..\\Données\\Base", "C:\\Données\\Base\\"},
      {"C:\\Klinova\\", "C:\\Klinova\\.\\Autre\\..\\Base", "C:\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "C:/Klinova/Base/", "C:\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "K:\\Base", "K:\\Base\\"},
      {"C:\\Klinova\\", "\\\\SERVEUR\\Klinova\\Base\\", "\\\\SERVEUR\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "\\\\SERVEUR\\Klinova\\Base", "\\\\SERVEUR\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "\\\\?\\UNC\\SERVEUR\\Klinova\\Base\\",
       "\\\\?\\UNC\\SERVEUR\\Klinova\\Base\\"},
      {"C:\\Klinova\\", "\\\\?\\C:\\Klinova\\Base", "\\\\?\\C:\\Klinova\\Base\\"},
      {"\\\\SERVEUR\\Klinova\\", "Base", "\\\\SERVEUR\\Klinova\\Base\\"},
      {"K:\\Klinova\\", "Base\\", "K:\\Klinova\\Base\\"},
      // What the working directory would decide is refused.
      {"C:\\Klinova\\", "", ""},
      {"C:\\Klinova\\", "C:Base", ""},
      {"C:\\Klinova\\", "\\Base", ""},
      {"Klinova\\", "Base", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.installDir) + " + " + c.server);
    EXPECT_EQ(ResolveServerDirectory(c.installDir, c.server), c.expected);
  }
}

TEST(LocatorPathValue, FirstEntryOfTheList) {
  struct Case {
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\Klinova\\", "C:\\Klinova\\"},
      {"C:\\Klinova\\;D:\\Autre\\", "C:\\Klinova\\"},
      {" C:\\Klinova ; D:\\Autre", "C:\\Klinova"},
      {";;C:\\Klinova", "C:\\Klinova"},
      {"\"C:\\Program Files\\Klinova\\\";D:\\", "C:\\Program Files\\Klinova\\"},
      {"\\\\SERVEUR\\Klinova\\;C:\\", "\\\\SERVEUR\\Klinova\\"},
      {"", ""},
      {" ; ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FirstPathEntry(c.value), c.expected);
  }
}

// "Path" as Windows defines it: a REG_EXPAND_SZ is expanded and a list gives its first entry; the
// installation is then found without a question.
TEST_F(LocatorTest, PathValueIsReadAsWindowsReadsIt) {
  MakeBase(BasePath(), 430, {});
  WriteSettings(BaseText());
  std::string install = InstallText();
  install.pop_back();
  SetEnvironmentVariableW(L"PATCHPAV_TEST_INSTALL", Utf8ToWide(install).c_str());
  struct Case {
    DWORD type;
    std::string value;
  };
  const Case cases[] = {
      {REG_SZ, InstallText() + ";C:\\Autre\\"},
      {REG_EXPAND_SZ, "%PATCHPAV_TEST_INSTALL%"},
      {REG_EXPAND_SZ, " \"%PATCHPAV_TEST_INSTALL%\\\" ;C:\\Autre\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    DeleteAppPathsEntry();
    RegistryKey key =
        RegistryKey::Create(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsWriteAccess);
    const std::wstring text = Utf8ToWide(c.value);
    RegSetValueExW(key.Get(), L"Path", 0, c.type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    key.Close();
    DialogRobot robot;
    TMain& main = CreateWindows();
    main.Show();

    EXPECT_TRUE(robot.Seen().empty());
    EXPECT_EQ(main.InstallDir, InstallText());
    EXPECT_EQ(main.WizardStep, 2);
    Application().DestroyComponents();
    Application().ClearTermination();
  }
  SetEnvironmentVariableW(L"PATCHPAV_TEST_INSTALL", nullptr);
}

bool RefuseTheRootOfC(const std::string& directory) { return directory != "C:\\"; }

TEST_F(LocatorTest, RefusedNetworkDirectoryReachesTheGeneralErrorMessage) {
  MakeBase(BasePath(), 430, {});
  RegisterInstallation(InstallText());
  WriteSettings(BaseText());
  const std::string privateDir = EngineSession().PrivateDir();
  DirectoryProbe previous = SetDirectoryProbe(&RefuseTheRootOfC);
  DialogRobot robot;
  robot.Answer("OK");
  TMain& main = CreateWindows();
  main.Show();
  SetDirectoryProbe(previous);

  ASSERT_EQ(robot.Seen().size(), 1u);
  ExpectHiddenWhileUp(robot, main, 1);
  EXPECT_EQ(robot.Seen()[0].caption, kApplicationTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
  EXPECT_EQ(robot.Seen()[0].text, "Le répertoire 'C:\\' n'existe pas.");
  EXPECT_EQ(main.InstallDir, InstallText());
  EXPECT_EQ(EngineSession().PrivateDir(), privateDir);
  EXPECT_EQ(main.WizardStep, 1);
  EXPECT_TRUE(main.Visible());
  EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
  EXPECT_FALSE(main.DbSource.Connected());
}

// The working directory for one test, and back.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& directory)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
  }
  ~WorkingDirectory() { std::filesystem::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

// An entry without a usable "Path" names the working directory: with a "Vardomex.exe" there the
// locator gives up quietly and step 1 waits for the user; without one the user is told and asked.
TEST_F(LocatorTest, MissingOrEmptyPathValue) {
  struct Case {
    const char* name;
    bool valuePresent;
    bool executableInWorkingDirectory;
  };
  const Case cases[] = {
      {"missing value", false, false},
      {"empty value", true, false},
      {"missing value, Vardomex.exe in the working directory", false, true},
      {"empty value, Vardomex.exe in the working directory", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteAppPathsEntry();
    RegistryKey key =
        RegistryKey::Create(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsWriteAccess);
    if (c.valuePresent) key.WriteString("Path", "");
    key.Close();
    ScratchDirectory working;
    if (c.executableInWorkingDirectory) WriteText(working.Path() / "Vardomex.exe", "stand-in");
    WorkingDirectory inside(working.Path());
    DialogRobot robot;
    robot.Answer("OK");
    robot.AnswerFile(InstallText() + "Vardomex.exe");
    robot.CancelFile();  // no settings beside it: the version file is asked for
    TMain& main = CreateWindows();
    main.Show();

    ExpectHiddenWhileUp(robot, main, robot.Seen().size());
    EXPECT_EQ(main.WizardStep, 1);
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
    if (c.executableInWorkingDirectory) {
      EXPECT_TRUE(robot.Seen().empty());
      EXPECT_EQ(main.InstallDir, "");
      EXPECT_EQ(RegisteredPath(), "");
    } else {
      ASSERT_EQ(robot.Seen().size(), 3u);
      EXPECT_EQ(robot.Seen()[0].caption, "Erreur");
      EXPECT_EQ(robot.Seen()[0].text,
                "L'emplacement de Klinova SQL a été modifié depuis son installation.\rSelon la "
                "base de registre de votre poste, le programme devrait se trouver dans : "
                "\r\r\rVeuillez modifier la configuration.");
      EXPECT_EQ(robot.Seen()[1].fileName, "Vardomex.exe");
      EXPECT_EQ(main.InstallDir, InstallText());
      EXPECT_EQ(RegisteredPath(), InstallText());
    }
    Application().DestroyComponents();
    Application().ClearTermination();
  }
}

}  // namespace
}  // namespace patchpav::testing
