#include "engine/Engine.h"

#include <cstdlib>

#include "engine/EngineText.h"
#include "engine/core/Errors.h"
#include "engine/core/UserFolders.h"

namespace patchpav {
namespace {

std::string NotInitialisedMessage() { return "Le moteur de base de données n'est pas initialisé"; }

#ifndef _WIN32
std::filesystem::path EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return (value && *value) ? PathFromUtf8(value) : std::filesystem::path();
}
#endif

}  // namespace

Engine& Engine::Instance() {
  static Engine engine;
  return engine;
}

void Engine::RegisterDriver(std::shared_ptr<Driver> driver) {
  if (!driver) throw EDatabaseError("Pilote absent");
  drivers_[ToUpperAscii(driver->Type())] = std::move(driver);
}

std::shared_ptr<Driver> Engine::FindDriver(std::string_view type) const {
  const auto it = drivers_.find(ToUpperAscii(type));
  return it == drivers_.end() ? nullptr : it->second;
}

void Engine::SetConfigPath(const std::filesystem::path& path) {
  if (Initialised()) {
    throw EDatabaseError(
        "Le fichier de configuration ne peut pas être changé pendant que le moteur est actif");
  }
  configPath_ = path;
}

std::filesystem::path Engine::ConfigPath() const {
  return configPath_ ? *configPath_ : DefaultConfigPath();
}

std::filesystem::path Engine::DefaultConfigPath() {
#ifdef _WIN32
  return LocalAppDataFolder() / L"PatchPAV" / L"IDAPI.CFG";
#else
  std::filesystem::path base = EnvironmentPath("XDG_CONFIG_HOME");
  if (base.empty()) {
    const std::filesystem::path home = EnvironmentPath("HOME");
    base = home.empty() ? std::filesystem::temp_directory_path() : home / ".config";
  }
  return base / "patchpav" / "idapi.cfg";
#endif
}

void Engine::Initialise() {
  if (initialisations_ == 0) {
    const std::filesystem::path path = ConfigPath();
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
      config_ = Configuration::Load(path);
    } else {
      Configuration defaults = Configuration::Defaults();
      defaults.Save(path);
      config_ = std::move(defaults);
    }
  }
  ++initialisations_;
}

void Engine::Shutdown() {
  if (initialisations_ == 0) return;
  if (--initialisations_ == 0) {
    config_.reset();
    configHandles_.clear();
  }
}

Configuration& Engine::Config() {
  if (!config_) throw EDatabaseError(NotInitialisedMessage());
  return *config_;
}

void Engine::AdoptConfig(const std::filesystem::path& path, Configuration config) {
  if (!Initialised()) throw EDatabaseError(NotInitialisedMessage());
  configPath_ = path;
  config_ = std::move(config);
}

std::uint32_t Engine::AddConfigHandle(OpenConfig config) {
  // Zero is never a handle: callers test a handle against null.
  if (nextHandle_ == 0) nextHandle_ = 1;
  const std::uint32_t handle = nextHandle_++;
  configHandles_.emplace(handle, std::move(config));
  return handle;
}

Engine::OpenConfig* Engine::FindConfigHandle(std::uint32_t handle) {
  const auto it = configHandles_.find(handle);
  return it == configHandles_.end() ? nullptr : &it->second;
}

void Engine::ReleaseConfigHandle(std::uint32_t handle) { configHandles_.erase(handle); }

bool Engine::IsEngineConfigFile(const std::filesystem::path& path) const {
  const std::filesystem::path own = ConfigPath();
  std::error_code error;
  if (std::filesystem::equivalent(path, own, error)) return true;
  return std::filesystem::weakly_canonical(path, error) ==
         std::filesystem::weakly_canonical(own, error);
}

}  // namespace patchpav
