#include "install/InstallLocator.h"

#include <cwctype>

#include "database/DatabaseSelection.h"
#include "database/ProfileFiles.h"
#include "engine/Session.h"
#include "framework/MessageDialogs.h"
#include "framework/OpenDialog.h"
#include "framework/RegistryKey.h"
#include "framework/Utf.h"
#include "framework/ini/IniFile.h"

namespace patchpav {

namespace {

constexpr const char* kExecutableFilter = "Programme Klinova|Vardomex.exe";
constexpr const char* kExecutableInitialDir = "C:\\";

std::string MovedText(const std::string& installDir) {
  return "L'emplacement de Klinova SQL a été modifié depuis son installation.\rSelon la base de "
         "registre de votre poste, le programme devrait se trouver dans : \r" +
         installDir + "\r\rVeuillez modifier la configuration.";
}

constexpr const char* kFoundInDefaultText =
    "\"Vardomex.exe\" a été trouvé dans le dossier \"C:\\Klinova\".\rKlinova SQL est-il installé "
    "à cet endroit (répertoire d'installation par défaut du programme) ?";
constexpr const char* kAskDirectoryText =
    "Veuillez indiquer le répertoire d'installation de Klinova SQL.";

void RecordAppPath(const std::string& fileName, const std::string& directory) {
  RegistryKey key =
      RegistryKey::Create(HKEY_LOCAL_MACHINE, kAppPathsKey + fileName, kAppPathsAccess);
  key.WriteString("", directory + fileName);
  key.WriteString("Path", directory);
}

// Only a chosen file ends the question: without the installation there is nothing to correct.
// A dialog that cannot open is an error (from Localiser), not a cancel, so this never spins.
std::string AskUntilGiven(TOpenDialog& dialog, HWND owner) {
  std::string directory;
  while (directory.empty()) {
    directory =
        Localiser(dialog, owner, kProductExecutable, kExecutableFilter, kExecutableInitialDir);
  }
  return directory;
}

std::string Upper(const std::string& text) {
  std::wstring wide = Utf8ToWide(text);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return WideToUtf8(wide);
}

}  // namespace

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FindInstallDir(TOpenDialog& dialog, HWND owner) {
  std::string installDir;
  RegistryKey key = RegistryKey::Open(
      HKEY_LOCAL_MACHINE, std::string(kAppPathsKey) + kProductExecutable, kAppPathsAccess);
  if (key.IsOpen()) {
    installDir = AddBackslash(key.ReadString("Path"));
    key.Close();
    if (FileExists(installDir + kProductExecutable)) return installDir;
    MessageDlg(MovedText(installDir), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    return AskUntilGiven(dialog, owner);
  }
  if (FileExists(std::string(kDefaultInstallDir) + kProductExecutable)) {
    if (MessageDlg(kFoundInDefaultText, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) ==
        IDYES) {
      RecordAppPath(kProductExecutable, kDefaultInstallDir);
      return kDefaultInstallDir;
    }
  }
  MessageDlg(kAskDirectoryText, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
  return AskUntilGiven(dialog, owner);
}

std::string Localiser(TOpenDialog& dialog, HWND owner, const std::string& fileName,
                      const std::string& filter, const std::string& initialDir) {
  std::string result;
  dialog.FileName = fileName;
  dialog.Filter = filter;
  dialog.InitialDir = initialDir;
  bool chosen = false;
  try {
    chosen = dialog.Execute(owner);
    if (chosen) {
      result = AddBackslash(ExtractFilePath(dialog.FileName));
      RecordAppPath(fileName, result);
    }
  } catch (...) {
    ApplyVersionFileDialogDefaults(dialog);
    throw;
  }
  ApplyVersionFileDialogDefaults(dialog);
  return result;
}

void PointEngineSession(TSession& session, const std::string& installDir) {
  session.SetNetFileDir("C:\\");
  try {
    if (Upper(AddBackslash(session.PrivateDir())) != Upper(installDir)) {
      session.SetPrivateDir(installDir);
    }
  } catch (const std::exception&) {
    // The engine keeps its own private directory: the tool works as well from there.
  }
}

std::string DatabaseDirectoryOf(const std::string& installDir) {
  IniFile settings(installDir + "Vardomex.ini");
  std::string directory = AddBackslash(settings.ReadString("Database", "Server", ""));
  if (!FileExists(directory + "Vardomex.ver")) return kSelectBasePrompt;
  return directory;
}

}  // namespace patchpav
