#include "app/LoginPrompt.h"

#include "engine/Session.h"
#include "framework/LoginDialog.h"

namespace patchpav {

void InstallLoginPrompt() {
  EngineSession().SetLoginCallback([](const std::string& databaseName,
                                      const std::string& userName) -> std::optional<LoginResult> {
    std::optional<LoginEntry> entry = ShowLoginDialog(databaseName, userName);
    if (!entry) return std::nullopt;
    return LoginResult{entry->userName, entry->password};
  });
}

}  // namespace patchpav
