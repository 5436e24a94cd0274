#include "engine/Session.h"

#include <algorithm>
#include <system_error>

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/EngineText.h"
#include "engine/core/Errors.h"

namespace patchpav {
namespace {

std::string AliasInfoNode(const std::string& name) {
  return "\\DATABASES\\" + name + "\\DB INFO\\";
}
std::string AliasOpenNode(const std::string& name) {
  return "\\DATABASES\\" + name + "\\DB OPEN\\";
}

void CheckAliasName(const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos) {
    throw EDatabaseError("Nom d'alias invalide : '" + name + "'");
  }
  try {
    Configuration::NormaliseNodePath(AliasInfoNode(name));
  } catch (const EDatabaseError&) {
    throw EDatabaseError("Nom d'alias invalide : '" + name + "'");
  }
}

bool IsExistingDirectory(const std::string& directory) {
  std::error_code error;
  return std::filesystem::is_directory(PathFromUtf8(directory), error);
}

DirectoryProbe gDirectoryProbe = &IsExistingDirectory;

void CheckDirectory(const std::string& directory) {
  if (directory.empty()) return;
  if (!gDirectoryProbe(directory)) {
    throw EDatabaseError("Le répertoire '" + directory + "' n'existe pas");
  }
}

}  // namespace

DirectoryProbe SetDirectoryProbe(DirectoryProbe probe) {
  DirectoryProbe previous = gDirectoryProbe;
  gDirectoryProbe = probe ? probe : &IsExistingDirectory;
  return previous;
}

TSession& EngineSession() {
  static TSession session;
  return session;
}

// The engine is made to exist first, so that it is destroyed after the session, whose
// destructor still shuts it down.
TSession::TSession() { Engine::Instance(); }

TSession::~TSession() {
  if (active_) Engine::Instance().Shutdown();
}

void TSession::SetActive(bool active) {
  if (active == active_) return;
  if (active) {
    Engine::Instance().Initialise();
    active_ = true;
    return;
  }
  for (TDatabase* database : databases_) database->SetConnected(false);
  active_ = false;
  Engine::Instance().Shutdown();
}

void TSession::SetNetFileDir(const std::string& directory) {
  CheckDirectory(directory);
  netFileDir_ = directory;
}

void TSession::SetPrivateDir(const std::string& directory) {
  CheckDirectory(directory);
  privateDir_ = directory;
}

bool TSession::AliasExists(const std::string& name) {
  Activate();
  if (name.empty() || name.find('\\') != std::string::npos) return false;
  try {
    return Engine::Instance().Config().FieldValue(AliasInfoNode(name), "TYPE").has_value();
  } catch (const EDatabaseError&) {
    return false;  // a name that cannot be a node names no alias
  }
}

void TSession::AddDriverAlias(const std::string& name, const std::string& driver,
                              const std::vector<std::string>& lines) {
  Activate();
  CheckAliasName(name);
  if (AliasExists(name)) throw EDatabaseError("L'alias '" + name + "' existe déjà");
  if (driver.empty()) throw EDatabaseError("Pilote absent pour l'alias '" + name + "'");
  std::vector<ConfigField> params;
  for (const std::string& line : lines) {
    ParamLine split = SplitParamLine(line);
    ConfigField field{ToUpperAscii(split.name), std::move(split.value)};
    Configuration::CheckFieldName(field.name);
    Configuration::CheckValue(field.value);
    const auto same = std::find_if(params.begin(), params.end(),
                                   [&](const ConfigField& f) { return f.name == field.name; });
    if (same != params.end()) {
      same->value = std::move(field.value);
    } else {
      params.push_back(std::move(field));
    }
  }
  Engine& engine = Engine::Instance();
  Configuration updated = engine.Config();
  updated.ReplaceNode(AliasInfoNode(name), {{"TYPE", ToUpperAscii(driver)}});
  updated.ReplaceNode(AliasOpenNode(name), std::move(params));
  updated.Save(engine.ConfigPath());
  engine.Config() = std::move(updated);
}

void TSession::AddLocalAlias(const std::string& name, const std::string& path,
                             const std::string& defaultDriver) {
  AddDriverAlias(name, "STANDARD", {"PATH=" + path, "DEFAULT DRIVER=" + defaultDriver});
}

bool TSession::DeleteAlias(const std::string& name) {
  if (!AliasExists(name)) return false;
  Engine& engine = Engine::Instance();
  Configuration updated = engine.Config();
  updated.RemoveNode(AliasInfoNode(name));
  updated.RemoveNode(AliasOpenNode(name));
  updated.Save(engine.ConfigPath());
  engine.Config() = std::move(updated);
  return true;
}

std::string TSession::AliasDriver(const std::string& name) {
  if (!AliasExists(name)) throw EDatabaseError("Alias inconnu : '" + name + "'");
  return *Engine::Instance().Config().FieldValue(AliasInfoNode(name), "TYPE");
}

DriverParams TSession::AliasLines(const std::string& name) {
  if (!AliasExists(name)) throw EDatabaseError("Alias inconnu : '" + name + "'");
  DriverParams lines;
  if (const auto* fields = Engine::Instance().Config().Fields(AliasOpenNode(name))) {
    for (const ConfigField& field : *fields) lines[ToUpperAscii(field.name)] = field.value;
  }
  return lines;
}

TDatabase* TSession::FindDatabase(const std::string& databaseName) const {
  if (databaseName.empty()) return nullptr;
  TDatabase* found = nullptr;
  for (TDatabase* database : databases_) {
    if (!EqualsIgnoreCase(database->DatabaseName(), databaseName)) continue;
    if (database->Connected()) return database;
    if (!found) found = database;
  }
  return found;
}

void TSession::Unregister(TDatabase* database) {
  databases_.erase(std::remove(databases_.begin(), databases_.end(), database), databases_.end());
}

}  // namespace patchpav
