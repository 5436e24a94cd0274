#pragma once

// What the wizard's tests share: a product installation and a Paradox base laid out in fresh
// directories, the App Paths entry of the test prefix, and the wizard window created as the
// application creates it. Tests of this folder change machine-wide things (the registry entry,
// C:\Klinova), so each holds a named mutex for its whole run: CTest may run them side by side.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/FMain.h"
#include "engine/Engine.h"
#include "engine/Session.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/LocalDriver.h"
#include "framework/Application.h"
#include "framework/RegistryKey.h"
#include "install/InstallLocator.h"
#include "support/DialogRobot.h"
#include "support/ScratchDirectory.h"
#include "ui/FProgress.h"

namespace patchpav::testing {

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

// One CPMAIN row: key and the seven amounts.
struct AmountRow {
  int id;
  std::vector<double> amounts;
};

// A Paradox base of the product: its version file, VERSION with the DATABASE row (or no row
// when version is nullopt), and CPMAIN.
inline void MakeBase(const std::filesystem::path& directory, std::optional<int> version,
                     const std::vector<AmountRow>& rows) {
  using paradox::FieldDef;
  using paradox::FieldType;
  WriteText(directory / "VARDOMEX.VER", "[DBKERNEL]\r\nDBType=1\r\n");
  paradox::TableSchema versionSchema;
  versionSchema.fields.push_back(FieldDef{.name = "MODULE", .type = FieldType::Alpha, .size = 20});
  versionSchema.fields.push_back(FieldDef{.name = "VERSION", .type = FieldType::Long, .size = 4});
  std::vector<std::vector<Value>> versionRows;
  versionRows.push_back({Value::Text("CLIENT"), Value::Integer(999)});
  if (version) versionRows.push_back({Value::Text("DATABASE"), Value::Integer(*version)});
  paradox::Table::Create(directory / "VERSION.DB", versionSchema, versionRows);

  paradox::TableSchema cpMain;
  cpMain.fields.push_back(FieldDef{.name = "CPMain_ID", .type = FieldType::Long, .size = 4});
  for (int i = 1; i <= 7; ++i) {
    cpMain.fields.push_back(
        FieldDef{.name = "MontantSS" + std::to_string(i), .type = FieldType::Number, .size = 8});
  }
  cpMain.keyFieldCount = 1;
  std::vector<std::vector<Value>> cpRows;
  for (const AmountRow& row : rows) {
    std::vector<Value> values{Value::Integer(row.id)};
    for (double amount : row.amounts) values.push_back(Value::Float(amount));
    values.resize(8);
    cpRows.push_back(std::move(values));
  }
  paradox::Table::Create(directory / "CPMAIN.DB", cpMain, cpRows);
}

// The amounts of every CPMAIN row, read back with the table layer, by key.
inline std::vector<AmountRow> ReadAmounts(const std::filesystem::path& directory) {
  auto table = paradox::Table::Open(directory / "CPMAIN.DB", paradox::Table::Access::ReadOnly);
  std::vector<AmountRow> rows;
  table->ForEachBlock([&](const std::byte* records, std::size_t count, paradox::RecordLocator) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::byte* record = records + i * static_cast<std::size_t>(table->RecordSize());
      AmountRow row{static_cast<int>(table->Decode(record, 0).AsInteger()), {}};
      for (int f = 1; f <= 7; ++f) row.amounts.push_back(table->Decode(record, f).AsFloat());
      rows.push_back(row);
    }
  });
  return rows;
}

inline std::string AppPathsKeyPath() { return std::string(kAppPathsKey) + kProductExecutable; }

inline constexpr wchar_t kAppPathsEntry[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vardomex.exe";

inline void DeleteAppPathsEntry() {
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kAppPathsEntry, KEY_WOW64_32KEY, 0);
  // The entry may be the link that RefuseWritingAppPathsEntry leaves: it goes by its own handle.
  HKEY link = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppPathsEntry, REG_OPTION_OPEN_LINK,
                    DELETE | KEY_WOW64_32KEY, &link) == ERROR_SUCCESS) {
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    auto deleteKey = reinterpret_cast<DeleteKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (deleteKey) deleteKey(link);
    RegCloseKey(link);
  }
}

// An App Paths entry that the registry will neither open nor create for writing, as on a
// workstation where the user may not write there. Wine grants its administrator every right
// whatever a key's security says, so the refusal comes from the registry's own rules: the entry
// is a link to a missing key inside a volatile one, where no lasting key can be created.
inline void RefuseWritingAppPathsEntry() {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\PatchPAVVolatile", 0, nullptr,
                  REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (key) RegCloseKey(key);
  key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppPathsEntry, 0, nullptr,
                  REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                  KEY_ALL_ACCESS | KEY_CREATE_LINK | KEY_WOW64_32KEY, nullptr, &key, nullptr);
  if (!key) return;
  const std::wstring target = L"\\Registry\\Machine\\Software\\PatchPAVVolatile\\Missing";
  RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                 reinterpret_cast<const BYTE*>(target.data()),
                 static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  RegCloseKey(key);
}

inline void RegisterInstallation(const std::string& directory) {
  RegistryKey key =
      RegistryKey::Create(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsWriteAccess);
  key.WriteString("", directory + kProductExecutable);
  key.WriteString("Path", directory);
}

inline std::string RegisteredPath() {
  return RegistryKey::Open(HKEY_LOCAL_MACHINE, AppPathsKeyPath(), kAppPathsReadAccess)
      .ReadString("Path");
}

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lock_ = CreateMutexW(nullptr, FALSE, L"PatchPAV.WizardTests");
    WaitForSingleObject(lock_, INFINITE);
    static ScratchDirectory engineFiles;
    static bool engineReady = false;
    if (!engineReady) {
      Engine::Instance().SetConfigPath(engineFiles.Path() / "IDAPI.CFG");
      Engine::Instance().RegisterDriver(std::make_shared<sql::LocalDriver>());
      engineReady = true;
    }
    Application().SetTitle(kApplicationTitle);
    // Backups of the runs go to the test's own folder, not to the prefix's user profile.
    SetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", localAppData_.Path().wstring().c_str());
    DeleteAppPathsEntry();
    WriteText(install_.Path() / "Vardomex.exe", "stand-in");
    std::filesystem::create_directory(base_.Path() / "Base");
  }

  void TearDown() override {
    Application().DestroyComponents();
    Application().ClearTermination();
    DeleteAppPathsEntry();
    SetEnvironmentVariableW(L"PATCHPAV_TEST_LOCALAPPDATA", nullptr);
    std::error_code ignored;
    std::filesystem::remove_all("C:\\Klinova", ignored);
    ReleaseMutex(lock_);
    CloseHandle(lock_);
  }

  std::string InstallText() const { return install_.Text(); }
  std::filesystem::path BasePath() const { return base_.Path() / "Base"; }
  std::filesystem::path BackupsPath() const {
    return localAppData_.Path() / "PatchPAV" / "Sauvegardes";
  }
  std::string BaseText() const { return (base_.Path() / "Base").string() + "\\"; }

  void WriteSettings(const std::string& server) {
    WriteText(install_.Path() / "Vardomex.ini", "[Database]\r\nServer=" + server + "\r\n");
  }

  // The windows as the application creates them; the wizard is the main window.
  TMain& CreateWindows() {
    Application().CreateForm(Main);
    Application().CreateForm(ProgressDlg);
    return *Main;
  }

  // The start-up chain runs before the window is first drawn: while each of the first count
  // dialogs was up, the wizard window was not on the screen, but the application's window (the
  // taskbar entry) was, and held the dialog.
  static void ExpectHiddenWhileUp(const DialogRobot& robot, const TMain& main, size_t count) {
    for (size_t i = 0; i < count && i < robot.Seen().size(); ++i) {
      const SeenDialog& seen = robot.Seen()[i];
      const auto& visible = seen.visibleWindows;
      EXPECT_EQ(std::find(visible.begin(), visible.end(), main.Handle()), visible.end())
          << "the wizard window showed under " << seen.caption;
      EXPECT_NE(std::find(visible.begin(), visible.end(), Application().Handle()), visible.end())
          << "no taskbar entry under " << seen.caption;
      EXPECT_EQ(seen.owner, Application().Handle()) << seen.caption;
    }
  }

  static void Click(TButton& button) { SendMessageW(button.ButtonHandle(), BM_CLICK, 0, 0); }
  // The themed buttons are the system button itself.
  static void Click(TBitBtn& button) { SendMessageW(button.Handle(), BM_CLICK, 0, 0); }

  static std::string DecimalSeparator() {
    wchar_t separator[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return separator[0] == L',' ? "," : ".";
  }

  HANDLE lock_ = nullptr;
  ScratchDirectory install_;
  ScratchDirectory base_;
  ScratchDirectory localAppData_;
};

}  // namespace patchpav::testing
