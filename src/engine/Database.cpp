#include "engine/Database.h"

#include <algorithm>

#include "engine/ConnectionParams.h"
#include "engine/Engine.h"
#include "engine/EngineText.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/core/Errors.h"

namespace patchpav {

TDatabase::TDatabase() : params_([this] { RefuseChangeWhileConnected(); }) {
  EngineSession().Register(this);
}

TDatabase::~TDatabase() {
  SetConnected(false);
  for (TQuery* query : queries_) query->database_ = nullptr;
  EngineSession().Unregister(this);
}

void TDatabase::RefuseChangeWhileConnected() const {
  if (Connected()) {
    throw EDatabaseError("Impossible de modifier la base de données '" + databaseName_ +
                         "' pendant qu'elle est connectée");
  }
}

void TDatabase::SetAliasName(const std::string& name) {
  RefuseChangeWhileConnected();
  aliasName_ = name;
}

void TDatabase::SetDatabaseName(const std::string& name) {
  RefuseChangeWhileConnected();
  databaseName_ = name;
}

DriverConnection& TDatabase::Connection() {
  if (!connection_) {
    throw EDatabaseError("La base de données '" + databaseName_ + "' n'est pas connectée");
  }
  return *connection_;
}

void TDatabase::Flush() {
  if (connection_) connection_->Flush();
}

void TDatabase::Attach(TQuery* query) {
  if (std::find(queries_.begin(), queries_.end(), query) == queries_.end()) {
    queries_.push_back(query);
  }
}

void TDatabase::Detach(TQuery* query) {
  queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

void TDatabase::SetConnected(bool connected) {
  if (connected == Connected()) return;
  if (!connected) {
    // Statements belong to the driver connection: the queries let go of theirs first.
    for (TQuery* query : queries_) query->ReleaseStatement();
    connection_.reset();
    driver_.reset();
    openParams_.clear();
    return;
  }

  if (databaseName_.empty()) throw EDatabaseError("Nom de base de données absent");
  const std::string alias = aliasName_.empty() ? databaseName_ : aliasName_;
  TSession& session = EngineSession();
  for (const TDatabase* other : session.databases_) {
    if (other != this && other->Connected() &&
        EqualsIgnoreCase(other->DatabaseName(), databaseName_)) {
      throw EDatabaseError("Une base de données nommée '" + databaseName_ + "' est déjà connectée");
    }
  }
  if (!session.AliasExists(alias)) throw EDatabaseError("Alias inconnu : '" + alias + "'");
  const std::string type = session.AliasDriver(alias);
  std::shared_ptr<Driver> driver = Engine::Instance().FindDriver(type);
  if (!driver) {
    throw EDatabaseError("Le pilote '" + type + "' de l'alias '" + alias + "' n'est pas installé");
  }

  const DriverParams defaults = driver->DefaultParams();
  DriverParams settings = DriverSettings(Engine::Instance().Config(), type, defaults);
  if (!session.NetFileDir().empty() && defaults.contains("NET DIR")) {
    settings["NET DIR"] = session.NetFileDir();
  }
  if (!session.PrivateDir().empty() && defaults.contains("PRIVATE DIR")) {
    settings["PRIVATE DIR"] = session.PrivateDir();
  }
  DriverParams params = AliasParameters(defaults, settings, session.AliasLines(alias));
  ApplyConnectionLines(params, params_.Lines());

  const auto userName = params.find("USER NAME");
  if (LoginPrompt() && userName != params.end() && session.GetLoginCallback()) {
    const auto login = session.GetLoginCallback()(databaseName_, userName->second);
    if (!login) {
      throw EDatabaseError("Impossible de se connecter à la base de données '" + databaseName_ +
                           "'");
    }
    userName->second = login->userName;
    params["PASSWORD"] = login->password;
  }

  connection_ = driver->Connect(params);
  if (!connection_) {
    throw EDatabaseError("Impossible de se connecter à la base de données '" + databaseName_ + "'");
  }
  driver_ = std::move(driver);
  openParams_ = std::move(params);
}

}  // namespace patchpav
