// Step 1, second half: the database chosen, configured, opened and its version checked.
#include <exception>

#include "app/FMain.h"
#include "database/ConnectionProfile.h"
#include "database/DatabaseSelection.h"
#include "database/ProfileFiles.h"
#include "engine/Session.h"
#include "framework/Application.h"
#include "framework/MessageDialogs.h"
#include "framework/Utf.h"

namespace patchpav {

namespace {

std::string ExecutableDirectory() {
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return ExtractFilePath(WideToUtf8(path));
}

std::string UserDecimalSeparator() {
  wchar_t separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return ".";
  return WideToUtf8(separator);
}

}  // namespace

void TMain::SetStatus(const std::string& text, bool pump) {
  Label3->SetCaption(text);
  if (pump) Application().ProcessMessages();
}

void TMain::SelectionFailed(bool resetDialogDirectory) {
  LSource->SetCaption(kSelectBasePrompt);
  // After a directory that led nowhere the dialog starts from the product's directory.
  if (resetDialogDirectory) OpenDialog1.InitialDir = "C:\\Klinova";
  SetStatus("", true);
}

void TMain::SbRechercherSourceClick() {
  Label7->Show();
  if (LSource->Caption() == kSelectBasePrompt) {
    if (!OpenDialog1.Execute(Handle())) return;
    LSource->SetCaption(ExtractFilePath(OpenDialog1.FileName));
  }
  if (DbSource.Connected()) DbSource.SetConnected(false);
  SetStatus("Initialisation de la base de données...", true);
  const ProfileResult profile = OpenDatabaseProfile({LSource->Caption(), ExecutableDirectory()},
                                                    Connection, DbSource, EngineSession());
  Connection = profile.state;
  if (!profile.configured) {
    // A base that could not be prepared says why, in the general error message; a directory
    // that simply holds no base goes back to the prompt without a word.
    if (profile.error) Application().HandleException(profile.error);
    SelectionFailed(true);
    return;
  }

  SetStatus("Connexion à la base de données...", true);
  try {
    DbSource.SetConnected(true);
    Label7->Hide();
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    MessageBeep(0xFFFFFFFF);
    ShowMessage(std::string("Erreur : ") + error.what());
    SelectionFailed(true);
    return;
  }

  QCPMain.SetDatabaseName(Connection.ConnectionName);
  QUpdateCPMain.SetDatabaseName(Connection.ConnectionName);
  Query2.SetDatabaseName(Connection.ConnectionName);
  Query2.Close();
  Query2.SQL().Clear();
  Query2.SQL().Add(kVersionQuery);
  try {
    Query2.Open();
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    ShowMessage(std::string("Erreur : ") + error.what());
    SelectionFailed(false);
    return;
  }
  const int version = Query2.FieldByName("VERSION").AsInteger();
  DatabaseVersion = VersionText(version, UserDecimalSeparator());
  Query2.Close();
  Query2.SQL().Clear();
  SetStatus("", false);

  if (!VersionAccepted(version)) {
    MessageDlg(kVersionRefusedText, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    LSource->SetCaption(kSelectBasePrompt);
    Application().Terminate();
    return;
  }
  SetStatus("", true);
  if (DbSource.Connected()) Button1Click();
}

}  // namespace patchpav
