#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "app/WizardFixture.h"
#include "database/DatabaseSelection.h"
#include "engine/core/Paths.h"
#include "framework/Utf.h"

namespace patchpav::testing {
namespace {

using ::testing::ElementsAre;

const std::vector<AmountRow> kRowsToCorrect = {
    {1, {25, -18, 0, 0, 0, 0, 0}},   // one negative amount, absorbed by the first
    {2, {10, 20, 0, 0, 0, 0, 0}},    // nothing to correct
    {3, {-18, 30, -5, 0, 0, 0, 0}},  // two negative amounts: two sweeps
};

TEST_F(WizardTest, RegisteredInstallationOpensInStep2AndExecuteCorrectsTheBase) {
  MakeBase(BasePath(), 430, kRowsToCorrect);
  RegisterInstallation(InstallText());
  WriteSettings(BasePath().string());  // without its final backslash
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();

  EXPECT_TRUE(robot.Seen().empty()) << robot.Seen().front().text;
  EXPECT_EQ(main.WizardStep, 2);
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.PSelect->Visible());
  EXPECT_FALSE(main.PMain->Visible());
  EXPECT_TRUE(main.BtExecuter->Enabled());
  EXPECT_FALSE(main.Button1->Visible());
  EXPECT_EQ(main.LSource->Caption(), BaseText());
  EXPECT_EQ(main.Label7->Caption(), "Base sélectionnée : " + BaseText());
  EXPECT_EQ(main.Label8->Caption(), "Version : 4" + DecimalSeparator() + "3");
  EXPECT_TRUE(main.Label7->Visible() && main.Label8->Visible() && main.Image3->Visible());
  EXPECT_TRUE(main.DbSource.Connected());
  EXPECT_TRUE(main.Connection.ParadoxMode);
  EXPECT_EQ(main.Connection.ConnectionName, "Klinova_Paradox");

  robot.Answer("OK");
  Click(*main.BtExecuter);

  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, "Information");
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Information);
  // The box keeps its text and names the folder of the backup on a line of its own.
  const std::vector<std::filesystem::path> folders(
      std::filesystem::directory_iterator(BackupsPath()), {});
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(robot.Seen()[0].text,
            "La correction de la comptabilité est terminée. Le programme va être fermé.\r"
            "Sauvegarde et journal : " +
                PathToUtf8(folders[0]));
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(main.Visible());
  EXPECT_FALSE(main.DbSource.Connected());
  std::vector<AmountRow> rows = ReadAmounts(BasePath());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_THAT(rows[0].amounts, ElementsAre(7, 0, 0, 0, 0, 0, 0));
  EXPECT_THAT(rows[1].amounts, ElementsAre(10, 20, 0, 0, 0, 0, 0));
  EXPECT_THAT(rows[2].amounts, ElementsAre(0, 7, 0, 0, 0, 0, 0));
}

std::vector<char> Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string LocalTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  return text;
}

// The run's folder is named after the local time it started writing, under LOCALAPPDATA, and
// holds the table's files as they were and a journal line per write.
TEST_F(WizardTest, ExecuteLeavesABackupOfTheTableAndAJournalUnderLocalAppData) {
  MakeBase(BasePath(), 430, kRowsToCorrect);
  RegisterInstallation(InstallText());
  WriteSettings(BasePath().string());
  const std::vector<char> table = Bytes(BasePath() / "CPMAIN.DB");
  const std::vector<char> index = Bytes(BasePath() / "CPMAIN.PX");
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);
  EXPECT_FALSE(std::filesystem::exists(BackupsPath()));

  robot.Answer("OK");
  const std::string started = LocalTimeNow();
  Click(*main.BtExecuter);
  const std::string ended = LocalTimeNow();

  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, "Information");
  std::vector<std::filesystem::path> folders;
  for (const auto& entry : std::filesystem::directory_iterator(BackupsPath())) {
    folders.push_back(entry.path());
  }
  ASSERT_EQ(folders.size(), 1u);
  const std::string name = folders[0].filename().string();
  EXPECT_TRUE(name >= started && name <= ended) << name << " not in " << started << ".." << ended;
  EXPECT_EQ(Bytes(folders[0] / "CPMAIN.DB"), table);
  EXPECT_EQ(Bytes(folders[0] / "CPMAIN.PX"), index);
  EXPECT_FALSE(std::filesystem::exists(folders[0] / "annulation.sql"));
  const std::vector<char> journal = Bytes(folders[0] / "journal.csv");
  const std::string text(journal.begin(), journal.end());
  EXPECT_THAT(text, ::testing::StartsWith("\xEF\xBB\xBF"
                                          "CPMain_ID;MontantSS1 avant;"));
  EXPECT_THAT(text, ::testing::EndsWith("\r\n1;25;-18;0;0;0;0;0;7;0;0;0;0;0;0;prévu\r\n"
                                        "3;-18;30;-5;0;0;0;0;0;12;-5;0;0;0;0;prévu\r\n"
                                        "3;0;12;-5;0;0;0;0;0;7;0;0;0;0;0;prévu\r\n"));
}

// The backup cannot be made: the user sees one error box that says why, and the base is as it was.
TEST_F(WizardTest, ABackupThatCannotBeMadeEndsTheRunBeforeAnyWrite) {
  MakeBase(BasePath(), 430, kRowsToCorrect);
  RegisterInstallation(InstallText());
  WriteSettings(BasePath().string());
  std::filesystem::create_directories(BackupsPath().parent_path());
  WriteText(BackupsPath(), "un fichier à la place du dossier");
  const std::vector<char> table = Bytes(BasePath() / "CPMAIN.DB");
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);

  robot.Answer("OK");
  Click(*main.BtExecuter);

  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, kApplicationTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
  EXPECT_THAT(robot.Seen()[0].text, ::testing::HasSubstr("aucun enregistrement n'a été modifié"));
  EXPECT_THAT(robot.Seen()[0].text, ::testing::HasSubstr("Sauvegardes"));
  EXPECT_TRUE(main.Enabled());
  EXPECT_FALSE(Application().Terminated());
  main.DbSource.SetConnected(false);
  EXPECT_EQ(Bytes(BasePath() / "CPMAIN.DB"), table);
}

TEST_F(WizardTest, AFailingSelectionDuringTheRunLeavesTheWindowUsable) {
  MakeBase(BasePath(), 430, kRowsToCorrect);
  RegisterInstallation(InstallText());
  WriteSettings(BasePath().string());
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);

  // The accounting table disappears between the selection of the base and Execute.
  std::filesystem::remove(BasePath() / "CPMAIN.DB");
  robot.Answer("OK");
  Click(*main.BtExecuter);

  ASSERT_EQ(robot.Seen().size(), 1u);
  EXPECT_EQ(robot.Seen()[0].caption, kApplicationTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
  EXPECT_THAT(robot.Seen()[0].text, ::testing::HasSubstr("CPMAIN"));
  EXPECT_TRUE(main.Enabled());
  EXPECT_EQ(main.TWinControl::Cursor(), TCursor::crDefault);
  EXPECT_FALSE(ProgressDlg->Visible());
  EXPECT_FALSE(main.Animate1->Visible());
  EXPECT_FALSE(Application().Terminated());
  EXPECT_TRUE(main.BtFermer->Enabled());
}

TEST_F(WizardTest, ATableThatCannotBeWrittenIsSaidInOneBoxAndTheWindowStaysUsable) {
  MakeBase(BasePath(), 430, kRowsToCorrect);
  // A secondary index of CPMAIN on MontantSS2 (field 3), as Paradox names one, made with our own
  // writer as a table of the index's fields whose header names field 3.
  paradox::TableSchema index;
  for (auto [name, type, size] : {std::tuple{"Sec Key", paradox::FieldType::Number, 8},
                                  std::tuple{"CPMain_ID", paradox::FieldType::Long, 4},
                                  std::tuple{"Hint", paradox::FieldType::Short, 2}}) {
    index.fields.push_back(paradox::FieldDef{.name = name, .type = type, .size = size});
  }
  paradox::Table::Create(BasePath() / "CPMAIN.X03", index, {});
  {
    std::fstream file(BasePath() / "CPMAIN.X03", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(0x15);
    file.put(3);
  }
  const auto before = ReadAmounts(BasePath());
  RegisterInstallation(InstallText());
  WriteSettings(BasePath().string());
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);

  robot.Answer("OK");
  Click(*main.BtExecuter);

  ASSERT_EQ(robot.Seen().size(), 1u) << "one box, not one per row";
  EXPECT_EQ(robot.Seen()[0].caption, kApplicationTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
  EXPECT_THAT(robot.Seen()[0].text,
              ::testing::StartsWith("La correction n'a pas été lancée : un index secondaire de "
                                    "la table CPMAIN couvre les montants à corriger.\rAucun des "));
  EXPECT_TRUE(main.Enabled());
  EXPECT_FALSE(ProgressDlg->Visible());
  EXPECT_FALSE(Application().Terminated());
  EXPECT_TRUE(main.BtFermer->Enabled());
  main.DbSource.SetConnected(false);
  const auto after = ReadAmounts(BasePath());
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].amounts, before[i].amounts);
}

TEST_F(WizardTest, UnopenableBaseStaysInStep1UntilADatabaseIsChosen) {
  // A version file but no tables: the version query fails.
  WriteText(BasePath() / "VARDOMEX.VER", "[DBKERNEL]\r\nDBType=1\r\n");
  RegisterInstallation(InstallText());
  WriteSettings(BaseText());
  DialogRobot robot;
  robot.Answer("OK");
  TMain& main = CreateWindows();
  main.Show();

  ASSERT_EQ(robot.Seen().size(), 1u);
  ExpectHiddenWhileUp(robot, main, 1);
  EXPECT_EQ(robot.Seen()[0].caption, kApplicationTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::None);
  EXPECT_EQ(robot.Seen()[0].text.rfind("Erreur : ", 0), 0u) << robot.Seen()[0].text;
  EXPECT_EQ(main.WizardStep, 1);
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.PMain->Visible());
  EXPECT_FALSE(main.PSelect->Visible());
  EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
  EXPECT_EQ(main.Label3->Caption(), "");
  EXPECT_FALSE(main.BtExecuter->Enabled());
  EXPECT_FALSE(main.Button1->Visible());

  // The user then points at a good base.
  ScratchDirectory good;
  MakeBase(good.Path(), 500, kRowsToCorrect);
  robot.AnswerFile(good.Text() + "VARDOMEX.VER");
  SendMessageW(main.SbRechercherSource->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(main.SbRechercherSource->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));

  ASSERT_EQ(robot.Seen().size(), 2u);
  EXPECT_TRUE(robot.Seen()[1].fileDialog);
  EXPECT_EQ(robot.Seen()[1].fileName, "Vardomex.ver");
  EXPECT_EQ(robot.Seen()[1].fileType, "Base Klinova");
  EXPECT_EQ(main.WizardStep, 2);
  EXPECT_TRUE(main.BtExecuter->Enabled());
  EXPECT_FALSE(main.Button1->Visible());
  EXPECT_EQ(main.Label7->Caption(), "Base sélectionnée : " + good.Text());
  EXPECT_EQ(main.Label8->Caption(), "Version : 5");
}

TEST_F(WizardTest, CloseDisconnectsAndEndsInStep1AndInStep2) {
  for (bool reachStep2 : {false, true}) {
    SCOPED_TRACE(reachStep2);
    std::filesystem::remove_all(BasePath());
    std::filesystem::create_directory(BasePath());
    if (reachStep2) MakeBase(BasePath(), 430, {});
    RegisterInstallation(InstallText());
    WriteSettings(BaseText());
    DialogRobot robot;
    robot.CancelFile();  // step 1 without a base asks for its version file
    TMain& main = CreateWindows();
    main.Show();
    ExpectHiddenWhileUp(robot, main, robot.Seen().size());
    EXPECT_EQ(main.WizardStep, reachStep2 ? 2 : 1);
    EXPECT_EQ(main.DbSource.Connected(), reachStep2);
    EXPECT_FALSE(main.Button1->Visible());

    Click(*main.BtFermer);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(main.Visible());
    EXPECT_FALSE(main.DbSource.Connected());
    Application().DestroyComponents();
    Application().ClearTermination();
  }
}

TEST_F(WizardTest, ClosingFromTheTitleBarEnds) {
  MakeBase(BasePath(), 430, {});
  RegisterInstallation(InstallText());
  WriteSettings(BaseText());
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  SendMessageW(main.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(main.Visible());
}

TEST_F(WizardTest, CloseRequestsDuringARunAreRefusedAndItsFinalBoxIsShown) {
  MakeBase(BasePath(), 430, kRowsToCorrect);
  RegisterInstallation(InstallText());
  WriteSettings(BasePath().string());
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);
  // Waiting in the queue when the run first pumps: the taskbar's "Close window" on the
  // application window, Alt+F4 on the main form, and plain WM_CLOSE to both.
  PostMessageW(Application().Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(Application().Handle(), WM_CLOSE, 0, 0);
  PostMessageW(main.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(main.Handle(), WM_CLOSE, 0, 0);
  robot.Answer("OK");
  Click(*main.BtExecuter);

  ASSERT_EQ(robot.Seen().size(), 1u) << "the final box was lost";
  EXPECT_EQ(robot.Seen()[0].caption, "Information");
  const std::vector<std::filesystem::path> folders(
      std::filesystem::directory_iterator(BackupsPath()), {});
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(robot.Seen()[0].text,
            "La correction de la comptabilité est terminée. Le programme va être fermé.\r"
            "Sauvegarde et journal : " +
                PathToUtf8(folders[0]));
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(main.Visible());
  std::vector<AmountRow> rows = ReadAmounts(BasePath());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_THAT(rows[0].amounts, ElementsAre(7, 0, 0, 0, 0, 0, 0));
  EXPECT_THAT(rows[2].amounts, ElementsAre(0, 7, 0, 0, 0, 0, 0));
}

TEST_F(WizardTest, AnErrorOfTheFirstShowIsReportedAndTheWindowShowsInStep1) {
  // A "Path" that is no string cannot be read.
  RegistryKey key =
      RegistryKey::Create(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsWriteAccess);
  DWORD number = 7;
  RegSetValueExW(key.Get(), L"Path", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  key.Close();
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(robot.Seen().size(), 1u);
  ExpectHiddenWhileUp(robot, main, 1);
  EXPECT_EQ(robot.Seen()[0].caption, kApplicationTitle);
  EXPECT_EQ(robot.Seen()[0].icon, DialogIcon::Error);
  EXPECT_EQ(robot.Seen()[0].text.back(), '.');
  EXPECT_EQ(main.WizardStep, 1);
  EXPECT_TRUE(main.Visible());
  EXPECT_TRUE(main.PMain->Visible());
  EXPECT_EQ(main.LSource->Caption(), "Sélectionner la base");
  EXPECT_FALSE(main.BtExecuter->Enabled());
}

std::string TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return WideToUtf8(text);
}

BOOL CALLBACK CollectTaskbarWindow(HWND hwnd, LPARAM data) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
  // The shell's rule: a visible window that is either unowned and no tool window, or marked as
  // an application window.
  const bool listed =
      (exStyle & WS_EX_APPWINDOW) || (!GetWindow(hwnd, GW_OWNER) && !(exStyle & WS_EX_TOOLWINDOW));
  if (process == GetCurrentProcessId() && IsWindowVisible(hwnd) && listed) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
  }
  return TRUE;
}

// The windows of this process that have an entry in the taskbar.
std::vector<HWND> TaskbarWindows() {
  std::vector<HWND> windows;
  EnumWindows(&CollectTaskbarWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

TEST_F(WizardTest, TheTaskbarEntryIsTheApplicationsTitleAndMinimisesTheWizard) {
  MakeBase(BasePath(), 430, {});
  RegisterInstallation(InstallText());
  WriteSettings(BaseText());
  DialogRobot robot;
  TMain& main = CreateWindows();
  EXPECT_TRUE(TaskbarWindows().empty()) << "nothing before the window shows";
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);

  std::vector<HWND> entries = TaskbarWindows();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(TextOf(entries[0]), kApplicationTitle);
  EXPECT_EQ(GetWindow(main.Handle(), GW_OWNER), entries[0]);

  // The minimise box of the wizard minimises the entry; the taskbar's restore brings it back.
  SendMessageW(main.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(entries[0]));
  EXPECT_FALSE(IsWindowVisible(main.Handle()));
  EXPECT_EQ(TaskbarWindows(), entries);
  SendMessageW(entries[0], WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsIconic(entries[0]));
  EXPECT_TRUE(IsWindowVisible(main.Handle()));

  Click(*main.BtFermer);
  EXPECT_TRUE(TaskbarWindows().empty());
}

// The explanation is laid out for "MS Sans Serif": each of its 17 lines takes one line of the
// memo, none wraps, and every line with text is inside the memo without scrolling.
TEST_F(WizardTest, TheExplanationsLinesFitTheMemo) {
  MakeBase(BasePath(), 430, {});
  RegisterInstallation(InstallText());
  WriteSettings(BaseText());
  DialogRobot robot;
  TMain& main = CreateWindows();
  main.Show();
  ASSERT_EQ(main.WizardStep, 2);
  HWND edit = main.Memo2->EditHandle();
  // The text ends with a line break: an 18th, empty line follows the 17th.
  EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 18);
  LRESULT start = 0;
  for (int line = 0; line < 17; ++line) {
    SCOPED_TRACE(line + 1);
    EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, line, 0), start);
    start += static_cast<LRESULT>(Utf8ToWide(kExplanationLines[line]).size()) + 2;
  }
  RECT client;
  GetClientRect(edit, &client);
  TEXTMETRICW metrics{};
  HDC dc = GetDC(edit);
  {
    SelectionUndo font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &metrics);
  }
  ReleaseDC(edit, dc);
  // The 16th line is the last with text.
  LRESULT lastText = SendMessageW(edit, EM_LINEINDEX, 15, 0);
  LRESULT position = SendMessageW(edit, EM_POSFROMCHAR, lastText, 0);
  EXPECT_LE(static_cast<short>(HIWORD(position)) + metrics.tmHeight, client.bottom);
  EXPECT_FALSE(main.ScrollBox1->VertBarVisible());
}

TEST_F(WizardTest, WindowLayoutAndExplanation) {
  TMain& main = CreateWindows();
  EXPECT_EQ(main.Caption(), "Ajustement des montants liés à la PAV");
  EXPECT_EQ(main.ClientWidth(), 604);
  EXPECT_EQ(main.ClientHeight(), 496);
  LONG style = GetWindowLongW(main.Handle(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(main.WizardStep, 0);
  EXPECT_EQ(main.LastStep, 2);
  EXPECT_EQ(main.Label3->Caption(), "");
  EXPECT_FALSE(main.BtExecuter->Enabled());
  EXPECT_TRUE(main.BtFermer->Enabled());
  EXPECT_FALSE(main.Button1->Enabled());
  // Execute and Close are the themed buttons, and the window carries its one theme component.
  EXPECT_EQ(main.BtExecuter->Caption(), "&Exécuter");
  EXPECT_EQ(main.BtFermer->Caption(), "&Fermer");
  EXPECT_EQ(main.BtFermer->Style(), TButtonStyle::bsNew);
  const RECT execute = main.BtExecuter->BoundsRect();
  const RECT close = main.BtFermer->BoundsRect();
  EXPECT_EQ((std::array<LONG, 4>{114, 15, 211, 48}),
            (std::array<LONG, 4>{execute.left, execute.top, execute.right, execute.bottom}));
  EXPECT_EQ((std::array<LONG, 4>{218, 13, 315, 46}),
            (std::array<LONG, 4>{close.left, close.top, close.right, close.bottom}));
  EXPECT_EQ(main.FindComponent("XPThemeAPI1"), main.XPThemeAPI1);
  EXPECT_FALSE(main.Animate1->Visible());
  EXPECT_FALSE(main.Animate1->Active());
  EXPECT_EQ(main.Image1->Picture().Width(), 32);
  EXPECT_EQ(main.SbRechercherSource->Glyph().Width(), 48);
  EXPECT_EQ(main.SbRechercherSource->Glyph().Height(), 32);

  // The bands: title 0-57, button band 432-496, the pages in between once step 0 has run.
  main.PMain->SetAlign(TAlign::alClient);
  RECT title = main.PTitre->BoundsRect();
  RECT bottom = main.PBottom->BoundsRect();
  RECT page = main.PMain->BoundsRect();
  EXPECT_EQ(title.top, 0);
  EXPECT_EQ(title.bottom, 57);
  EXPECT_EQ(bottom.top, 432);
  EXPECT_EQ(bottom.bottom, 496);
  EXPECT_EQ(page.top, 57);
  EXPECT_EQ(page.bottom, 432);
  EXPECT_EQ(page.right - page.left, 604);
  RECT buttons = main.Panel4->BoundsRect();
  EXPECT_EQ(buttons.right - buttons.left, 323);

  std::vector<std::string> lines = main.Memo2->Lines();
  ASSERT_EQ(lines.size(), 17u);
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i + 1);
    bool empty = i == 5 || i == 9 || i == 14 || i == 16;
    bool endsWithoutBlank = empty || i == 4 || i == 8 || i == 13 || i == 15;
    EXPECT_EQ(lines[i].empty(), empty);
    if (!endsWithoutBlank) {
      EXPECT_EQ(lines[i].back(), ' ');
    } else if (!lines[i].empty()) {
      EXPECT_NE(lines[i].back(), ' ');
    }
  }
  EXPECT_NE(lines[2].find("18 € du montant pris en charge par la caisse  principale "),
            std::string::npos);
  EXPECT_EQ(lines[4], "de valeur, on se retrouve avec un montant de prise en charge de \"-18 €\".");
  EXPECT_EQ(lines[15], "Il n'est pas utile d'exécuter plusieurs fois ce programme.");
}

}  // namespace
}  // namespace patchpav::testing
