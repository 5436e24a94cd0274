#include "install/InstallLocator.h"

#include <cwctype>
#include <stdexcept>

#include "database/DatabaseSelection.h"
#include "database/ProfileFiles.h"
#include "engine/Session.h"
#include "framework/MessageDialogs.h"
#include "framework/OpenDialog.h"
#include "framework/RegistryKey.h"
#include "framework/Utf.h"
#include "framework/ini/IniFile.h"
#include "install/ServerDirectory.h"

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

// Run by a standard user, the tool may not write under HKEY_LOCAL_MACHINE: the user is told what
// an administrator can record by hand (the 32-bit view is where the product's installer and
// this tool look for it).
std::string RefusedAppPathText(const std::string& fileName, const std::string& directory,
                               LONG code) {
  return "L'emplacement de Klinova SQL n'a pas pu être enregistré dans la base de registre "
         "(erreur Windows " +
         std::to_string(code) + ") : clé HKEY_LOCAL_MACHINE" + kAppPathsKey + fileName +
         " (vue 32 bits, sous SOFTWARE\\WOW6432Node sur un Windows 64 bits).\rUn administrateur "
         "du poste peut l'y enregistrer : valeur par défaut « " +
         directory + fileName + " », valeur « Path » « " + directory + " »";
}

void RecordAppPath(const std::string& fileName, const std::string& directory) {
  try {
    RegistryKey key =
        RegistryKey::Create(HKEY_LOCAL_MACHINE, kAppPathsKey + fileName, kAppPathsWriteAccess);
    key.WriteString("", directory + fileName);
    key.WriteString("Path", directory);
  } catch (const ERegistryError& error) {
    throw std::runtime_error(RefusedAppPathText(fileName, directory, error.Code()));
  }
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

std::string FirstPathEntry(const std::string& pathValue) {
  size_t start = 0;
  while (start <= pathValue.size()) {
    size_t end = pathValue.find(';', start);
    if (end == std::string::npos) end = pathValue.size();
    std::string entry = pathValue.substr(start, end - start);
    const size_t first = entry.find_first_not_of(" \t\"");
    if (first != std::string::npos) {
      return entry.substr(first, entry.find_last_not_of(" \t\"") - first + 1);
    }
    start = end + 1;
  }
  return {};
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FindInstallDir(TOpenDialog& dialog, HWND owner) {
  std::string installDir;
  RegistryKey key = RegistryKey::Open(
      HKEY_LOCAL_MACHINE, std::string(kAppPathsKey) + kProductExecutable, kAppPathsReadAccess);
  if (key.IsOpen()) {
    installDir = AddBackslash(FirstPathEntry(key.ReadString("Path")));
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
  const std::string directory =
      ResolveServerDirectory(installDir, settings.ReadString("Database", "Server", ""));
  if (directory.empty() || !FileExists(directory + "Vardomex.ver")) return kSelectBasePrompt;
  return directory;
}

}  // namespace patchpav
