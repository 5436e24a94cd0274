#pragma once

#include <optional>
#include <string>

namespace patchpav {

// What the user typed in the login dialog.
struct LoginEntry {
  std::string userName;
  std::string password;
};

// Control ids of the login dialog's edits, so that a caller (or a test) can find them.
constexpr int kLoginUserNameId = 101;
constexpr int kLoginPasswordId = 102;
// The longest user name or password the dialog accepts.
constexpr int kLoginMaxLength = 31;

// The modal dialog "Connexion base de données": shows the database name, the user name
// prefilled and an empty password. Owned by the active window and centred on it (on the screen
// when there is none). Returns what was typed on OK, nullopt on "Annuler" or Escape.
std::optional<LoginEntry> ShowLoginDialog(const std::string& databaseName,
                                          const std::string& userName);

}  // namespace patchpav
