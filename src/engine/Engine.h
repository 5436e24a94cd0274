#pragma once

// The process-wide database engine: its drivers, its configuration file, and whether it is
// initialised.
//
// States: not initialised (no configuration in memory; the configuration calls other than
// DbiInitFn answer 10758) and initialised (the configuration file is loaded in memory, created
// with the defaults when missing). Initialise() and Shutdown() count: the session holds one
// initialisation while it is active, and DbiInitFn/DbiExit add and remove one each. The last
// Shutdown() drops the configuration from memory and releases every open configuration handle,
// so the next initialisation reads the file afresh.
//
// Configuration file location: the path given to SetConfigPath() before initialisation, else
//   Windows: %LOCALAPPDATA%\PatchPAV\IDAPI.CFG (the user's own, writable without elevation,
//   see LocalAppDataFolder);
//   elsewhere: $XDG_CONFIG_HOME/patchpav/idapi.cfg, or $HOME/.config/patchpav/idapi.cfg.
// Its format is described in Configuration.h. A new file holds:
//   [\SYSTEM\INIT\]           LOCAL SHARE=FALSE, MAXFILEHANDLES=48, LANGDRIVER=DBWINUS0
//   [\DRIVERS\PARADOX\INIT\]  TYPE=FILE, NET DIR=, LANGDRIVER=ascii
//   [\DRIVERS\MSSQL\INIT\]    TYPE=SERVER, ODBC DRIVER=
// and the aliases that the session defines, one node each:
//   [\DATABASES\<alias>\DB INFO\]  TYPE=<driver type>, then the alias's parameter lines.
//
// What the settings do: when a connection is opened, every parameter its driver declares
// (Driver::DefaultParams) starts at the driver's default, then takes the value of the field of
// the same name in "\SYSTEM\INIT\", then in the driver's node ("\DRIVERS\PARADOX\INIT\" for the
// local STANDARD driver, "\DRIVERS\<type>\INIT\" otherwise), then the alias's own line, then the
// connection's line. So "\DRIVERS\PARADOX\INIT\;LANGDRIVER" is the STANDARD driver's LANGDRIVER
// (the code page of text fields of a table that names none) unless the alias sets one, and
// "\DRIVERS\MSSQL\INIT\;ODBC DRIVER" names the ODBC driver the MSSQL driver uses (empty: the
// newest SQL Server driver installed). LOCAL SHARE and MAXFILEHANDLES reach a driver that
// declares parameters of those names; a driver that does not is unaffected by them. The
// session's NetFileDir and PrivateDir reach a driver as "NET DIR" and "PRIVATE DIR" the same way.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Configuration.h"
#include "engine/core/Driver.h"

namespace patchpav {

class Engine {
 public:
  static Engine& Instance();

  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The application registers its drivers at start-up; registering a type again replaces the
  // earlier driver (connections already open keep theirs until closed). A std::unique_ptr is
  // accepted as it stands: RegisterDriver(std::make_unique<sql::LocalDriver>()).
  void RegisterDriver(std::shared_ptr<Driver> driver);
  // The driver of a type (compared without regard to case), or nullptr.
  std::shared_ptr<Driver> FindDriver(std::string_view type) const;

  // Chooses the configuration file; refused with an EDatabaseError while initialised.
  void SetConfigPath(const std::filesystem::path& path);
  std::filesystem::path ConfigPath() const;
  static std::filesystem::path DefaultConfigPath();

  // Loads the configuration on the first initialisation (writing the defaults when the file is
  // missing); an unreadable or malformed file is an EDatabaseError and leaves the engine as it
  // was.
  void Initialise();
  void Shutdown();
  bool Initialised() const { return initialisations_ > 0; }

  // The configuration in memory; an EDatabaseError when not initialised.
  Configuration& Config();
  // Makes another file the engine's configuration, its contents already read.
  void AdoptConfig(const std::filesystem::path& path, Configuration config);

  // Open configuration handles of the configuration calls (see ConfigCalls.h).
  struct OpenConfig {
    std::filesystem::path path;
    Configuration working;  // the file as read at opening, with the changes made since
    std::vector<std::string> changedNodes;
  };
  std::uint32_t AddConfigHandle(OpenConfig config);
  OpenConfig* FindConfigHandle(std::uint32_t handle);
  void ReleaseConfigHandle(std::uint32_t handle);
  bool IsEngineConfigFile(const std::filesystem::path& path) const;

 private:
  Engine() = default;

  std::map<std::string, std::shared_ptr<Driver>> drivers_;  // by upper-case type
  std::optional<std::filesystem::path> configPath_;
  int initialisations_ = 0;
  std::optional<Configuration> config_;
  std::map<std::uint32_t, OpenConfig> configHandles_;
  std::uint32_t nextHandle_ = 1;
};

}  // namespace patchpav
