#pragma once

#include <windows.h>

#include <string>

namespace patchpav {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum class TMsgDlgButtons { mbOK, mbYesNo };

// The message boxes of the tool: warning "Avertissement", error "Erreur", information
// "Information" and confirmation "Confirmation", each with its icon, owned by the active form
// and modal. Returns mrOk, mrYes or mrNo. A line break inside the text is a single "\r".
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
// A plain message: the application title as caption, no icon, "OK".
void ShowMessage(const std::string& text);

// A message box whose buttons read "OK", "&Oui", "&Non" and "Annuler" whatever the language of
// the system. flags: MB_ buttons and icon.
int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);

}  // namespace patchpav
