#pragma once

// A connection of the session (TDatabase), opened through an alias.
//
// States: closed (names and Params may change) and connected (it holds a driver connection;
// changing a name or Params is refused). Opening resolves the alias (AliasName, or DatabaseName
// when AliasName is empty), assembles its parameters (driver defaults, engine settings, the
// alias's lines, then the Params lines whose names the alias has), asks for the login when those
// parameters hold USER NAME and the session has a login callback, and connects the driver.
// Closing first closes every query that runs through the connection.
//
// A TDatabase registers itself with the session for its whole life, so that queries find it by
// DatabaseName; it is neither copied nor moved.

#include <memory>
#include <string>
#include <vector>

#include "engine/StringList.h"
#include "engine/core/Driver.h"

namespace patchpav {

class TQuery;

class TDatabase {
 public:
  TDatabase();
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  const std::string& AliasName() const { return aliasName_; }
  void SetAliasName(const std::string& name);
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  // Parameter lines "NAME=value"; Clear and Add raise an EDatabaseError while connected.
  TStringList& Params() { return params_; }
  const TStringList& Params() const { return params_; }
  // Always true: the login is asked whenever the alias holds USER NAME.
  bool LoginPrompt() const { return true; }

  bool Connected() const { return connection_ != nullptr; }
  // Opening failures are EDatabaseErrors (unknown alias, missing driver, cancelled login, the
  // driver's own errors); the connection then stays closed.
  void SetConnected(bool connected);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }

  // The parameters the open connection was made with (after the login); empty when closed.
  const DriverParams& OpenParams() const { return openParams_; }
  // The driver connection; an EDatabaseError when closed.
  DriverConnection& Connection();
  // Puts the writes made through the connection on the disk (DriverConnection::Flush); nothing
  // to do when closed.
  void Flush();

 private:
  friend class TQuery;
  void RefuseChangeWhileConnected() const;
  void Attach(TQuery* query);
  void Detach(TQuery* query);

  std::string aliasName_;
  std::string databaseName_;
  TStringList params_;
  std::shared_ptr<Driver> driver_;  // kept alive while its connection is open
  std::unique_ptr<DriverConnection> connection_;
  DriverParams openParams_;
  std::vector<TQuery*> queries_;
};

}  // namespace patchpav
