#pragma once

// The engine session: the one process-wide TSession, named "Default", reached through
// EngineSession(). It holds the aliases (kept in the engine configuration file, so an alias
// defined in one run is known in the next), the shared and private directories, the login
// callback, and the registry of connections through which queries find theirs by name.
//
// States: inactive, or active (it then holds one initialisation of the engine). Any operation
// that needs the configuration activates it; SetActive(false) closes every connection and lets
// the engine shut down.
//
// NetFileDir and PrivateDir must name existing directories (or be empty: none chosen, which
// means the working directory for PrivateDir). They reach the drivers that declare the
// parameters "NET DIR" and "PRIVATE DIR" (see Engine.h); a driver that does not keeps no file
// there.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/Driver.h"

namespace patchpav {

class TDatabase;

struct LoginResult {
  std::string userName;
  std::string password;
};

// Asked when a connection's alias holds USER NAME: receives the connection's DatabaseName and the
// user name of its USER NAME line; returns what the user typed, or nullopt when they cancelled.
using LoginCallback = std::function<std::optional<LoginResult>(const std::string& databaseName,
                                                               const std::string& userName)>;

class TSession {
 public:
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;
  ~TSession();

  bool Active() const { return active_; }
  // Activating reads the engine configuration (an EDatabaseError when it is unreadable).
  void SetActive(bool active);

  const std::string& NetFileDir() const { return netFileDir_; }
  void SetNetFileDir(const std::string& directory);
  const std::string& PrivateDir() const { return privateDir_; }
  void SetPrivateDir(const std::string& directory);

  // Alias names are compared without regard to letter case.
  bool AliasExists(const std::string& name);
  // Defines an alias of a driver type with parameter lines "NAME=value" (a line without '=' is a
  // name with an empty value), and writes it to the configuration file. An alias of that name
  // already defined, a name that cannot be a configuration node, or a parameter name longer than
  // 32 characters is an EDatabaseError, and nothing is defined. The driver need not be registered
  // yet: opening a connection through the alias then says which driver is missing.
  void AddDriverAlias(const std::string& name, const std::string& driver,
                      const std::vector<std::string>& lines);
  // An alias of type "STANDARD" with the lines PATH=path and DEFAULT DRIVER=defaultDriver.
  void AddLocalAlias(const std::string& name, const std::string& path,
                     const std::string& defaultDriver);
  // Removes an alias; false when there was none.
  bool DeleteAlias(const std::string& name);
  // The alias's driver type and its own parameter lines (names in upper case); an unknown alias
  // is an EDatabaseError naming it.
  std::string AliasDriver(const std::string& name);
  DriverParams AliasLines(const std::string& name);

  void SetLoginCallback(LoginCallback callback) { loginCallback_ = std::move(callback); }
  const LoginCallback& GetLoginCallback() const { return loginCallback_; }

  // The connection whose DatabaseName is the name (without regard to case), preferring an open
  // one; nullptr when there is none.
  TDatabase* FindDatabase(const std::string& databaseName) const;

 private:
  friend TSession& EngineSession();
  friend class TDatabase;
  TSession();
  void Activate() {
    if (!active_) SetActive(true);
  }
  void Register(TDatabase* database) { databases_.push_back(database); }
  void Unregister(TDatabase* database);

  std::string name_ = "Default";
  bool active_ = false;
  std::string netFileDir_;
  std::string privateDir_;
  LoginCallback loginCallback_;
  std::vector<TDatabase*> databases_;
};

// The one session of the process.
TSession& EngineSession();

// How the session tells that a directory it is given exists. The file system's answer unless a
// test puts another in its place, to see how callers meet a refused directory; returns the test
// that was in place.
using DirectoryProbe = bool (*)(const std::string& directory);
DirectoryProbe SetDirectoryProbe(DirectoryProbe probe);

}  // namespace patchpav
