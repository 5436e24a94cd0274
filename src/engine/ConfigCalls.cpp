#include "engine/ConfigCalls.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineText.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/Errors.h"

namespace patchpav {
namespace {

std::string& LastDetail() {
  static std::string detail;
  return detail;
}

int Fail(int result, std::string detail) {
  LastDetail() = std::move(detail);
  return result;
}

std::optional<std::string> NormalisedNode(const char* nodePath) {
  if (!nodePath) return std::nullopt;
  try {
    return Configuration::NormaliseNodePath(nodePath);
  } catch (const EDatabaseError&) {
    return std::nullopt;
  }
}

}  // namespace

int GetSystemConfig(std::byte* record, std::size_t recordSize) {
  Engine& engine = Engine::Instance();
  if (!engine.Initialised()) return Fail(kDbiNotInitialised, {});
  if (!record) return Fail(kDbiInvalidParameter, "enregistrement absent");
  if (recordSize < kSystemConfigSize) return Fail(kDbiBufferTooSmall, "enregistrement trop petit");
  const std::string path = PathToUtf8(engine.ConfigPath());
  if (path.size() + 1 > kSystemConfigSize - kConfigPathOffset) {
    return Fail(kDbiValueTooLong, "chemin du fichier de configuration trop long : " + path);
  }
  std::memset(record, 0, kSystemConfigSize);
  const auto localShare = engine.Config().FieldValue("\\SYSTEM\\INIT\\", "LOCAL SHARE");
  StoreLittleEndian16(record, localShare && EqualsIgnoreCase(*localShare, "TRUE") ? 1 : 0);
  std::memcpy(record + kConfigPathOffset, path.data(), path.size());
  return kDbiOk;
}

int DbiInitFn(std::uint16_t version, const void* environment) {
  if (version != kDbiInterfaceVersion) {
    return Fail(kDbiInvalidParameter, "version d'interface " + std::to_string(version));
  }
  if (environment) return Fail(kDbiInvalidParameter, "environnement non pris en charge");
  try {
    Engine::Instance().Initialise();
  } catch (const EDatabaseError& error) {
    return Fail(kDbiFileError, error.what());
  }
  return kDbiOk;
}

int DbiExit() {
  Engine& engine = Engine::Instance();
  if (!engine.Initialised()) return Fail(kDbiNotInitialised, {});
  engine.Shutdown();
  return kDbiOk;
}

int OpenConfigFile(const char* path, bool create, ConfigHandle* handle) {
  Engine& engine = Engine::Instance();
  if (!engine.Initialised()) return Fail(kDbiNotInitialised, {});
  if (!path || !*path || !handle) return Fail(kDbiInvalidParameter, "chemin ou handle absent");
  const std::filesystem::path file = PathFromUtf8(path);
  Engine::OpenConfig open{file, {}, {}};
  try {
    std::error_code error;
    if (engine.IsEngineConfigFile(file)) {
      open.working = engine.Config();
    } else if (std::filesystem::exists(file, error)) {
      open.working = Configuration::Load(file);
    } else if (create) {
      open.working = Configuration::Defaults();
    } else {
      return Fail(kDbiFileNotFound, path);
    }
  } catch (const EDatabaseError& error) {
    return Fail(kDbiFileError, error.what());
  }
  *handle = engine.AddConfigHandle(std::move(open));
  return kDbiOk;
}

int GetConfigRecord(ConfigHandle handle, const char* nodePath, std::uint16_t* fieldCount,
                    std::byte* descriptors, std::size_t descriptorsSize, char* values,
                    std::size_t valuesSize) {
  Engine& engine = Engine::Instance();
  if (!engine.Initialised()) return Fail(kDbiNotInitialised, {});
  Engine::OpenConfig* open = engine.FindConfigHandle(handle);
  if (!open) return Fail(kDbiInvalidHandle, {});
  const auto node = NormalisedNode(nodePath);
  if (!node || !fieldCount) return Fail(kDbiInvalidParameter, nodePath ? nodePath : "");
  if ((descriptors == nullptr) != (values == nullptr)) {
    return Fail(kDbiInvalidParameter, "un seul des deux tableaux est donné");
  }
  if (!open->working.NodeExists(*node)) return Fail(kDbiNodeNotFound, *node);
  static const std::vector<ConfigField> kNoFields;
  const auto* stored = open->working.Fields(*node);
  const std::vector<ConfigField>& fields = stored ? *stored : kNoFields;
  if (fields.size() > 0xFFFF) return Fail(kDbiBufferTooSmall, *node);
  const std::size_t count = fields.size();
  if (!descriptors) {
    *fieldCount = static_cast<std::uint16_t>(count);
    return kDbiOk;
  }
  if (descriptorsSize < count * kFieldDescriptorSize || valuesSize < count * kValueSlotSize) {
    return Fail(kDbiBufferTooSmall, *node + " : " + std::to_string(count) + " champs");
  }
  for (const ConfigField& field : fields) {
    if (field.value.size() >= kValueSlotSize) {
      return Fail(kDbiValueTooLong, *node + ";" + field.name);
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::byte* descriptor = descriptors + i * kFieldDescriptorSize;
    std::memset(descriptor, 0, kFieldDescriptorSize);
    StoreLittleEndian16(descriptor, static_cast<std::uint16_t>(i + 1));
    std::memcpy(descriptor + kFieldNameOffset, fields[i].name.data(), fields[i].name.size());
    char* slot = values + i * kValueSlotSize;
    std::memset(slot, 0, kValueSlotSize);
    std::memcpy(slot, fields[i].value.data(), fields[i].value.size());
  }
  *fieldCount = static_cast<std::uint16_t>(count);
  return kDbiOk;
}

int ModifyConfigRecord(ConfigHandle handle, const char* nodePath, std::uint16_t fieldCount,
                       const std::byte* descriptors, std::size_t descriptorsSize,
                       const char* values, std::size_t valuesSize) {
  Engine& engine = Engine::Instance();
  if (!engine.Initialised()) return Fail(kDbiNotInitialised, {});
  Engine::OpenConfig* open = engine.FindConfigHandle(handle);
  if (!open) return Fail(kDbiInvalidHandle, {});
  const auto node = NormalisedNode(nodePath);
  if (!node) return Fail(kDbiInvalidParameter, nodePath ? nodePath : "");
  if (fieldCount > 0 && (!descriptors || !values)) {
    return Fail(kDbiInvalidParameter, "tableaux absents");
  }
  if (descriptorsSize < fieldCount * kFieldDescriptorSize ||
      valuesSize < fieldCount * kValueSlotSize) {
    return Fail(kDbiBufferTooSmall, *node);
  }
  if (!open->working.NodeExists(*node)) return Fail(kDbiNodeNotFound, *node);

  std::vector<ConfigField> changes;
  for (std::size_t i = 0; i < fieldCount; ++i) {
    const char* name =
        reinterpret_cast<const char*>(descriptors + i * kFieldDescriptorSize + kFieldNameOffset);
    const std::string fieldName(name, strnlen(name, kMaxFieldNameLength));
    const char* slot = values + i * kValueSlotSize;
    const void* end = std::memchr(slot, 0, kValueSlotSize);
    if (!end) return Fail(kDbiValueTooLong, *node + ";" + fieldName);
    const std::string value(slot, static_cast<const char*>(end) - slot);
    try {
      Configuration::CheckFieldName(fieldName);
      Configuration::CheckValue(value);
    } catch (const EDatabaseError& error) {
      return Fail(kDbiInvalidParameter, error.what());
    }
    changes.push_back({fieldName, value});
  }
  for (const ConfigField& change : changes) {
    open->working.SetField(*node, change.name, change.value);
  }
  if (changes.empty()) return kDbiOk;
  const bool noted = std::any_of(open->changedNodes.begin(), open->changedNodes.end(),
                                 [&](const std::string& n) { return EqualsIgnoreCase(n, *node); });
  if (!noted) open->changedNodes.push_back(*node);
  return kDbiOk;
}

int CloseConfigFile(ConfigHandle* handle, bool save, bool makeDefault, bool format16) {
  Engine& engine = Engine::Instance();
  if (!engine.Initialised()) return Fail(kDbiNotInitialised, {});
  if (!handle) return Fail(kDbiInvalidParameter, "handle absent");
  Engine::OpenConfig* open = engine.FindConfigHandle(*handle);
  if (!open) return Fail(kDbiInvalidHandle, {});
  if (format16) return Fail(kDbiNotSupported, "format 16 bits");

  int result = kDbiOk;
  if (save) {
    try {
      if (engine.IsEngineConfigFile(open->path)) {
        // Merge only the nodes changed through this handle, so that an alias the session
        // defined while the handle was open is kept.
        Configuration merged = engine.Config();
        for (const std::string& node : open->changedNodes) {
          if (const auto* fields = open->working.Fields(node)) merged.ReplaceNode(node, *fields);
        }
        merged.Save(engine.ConfigPath());
        engine.Config() = std::move(merged);
      } else {
        open->working.Save(open->path);
        if (makeDefault) engine.AdoptConfig(open->path, open->working);
      }
    } catch (const EDatabaseError& error) {
      result = Fail(kDbiFileError, error.what());
    }
  }
  engine.ReleaseConfigHandle(*handle);
  *handle = 0;
  return result;
}

std::string ConfigCallMessage(int result) {
  std::string text;
  switch (result) {
    case kDbiOk:
      return "Opération réussie";
    case kDbiNotInitialised:
      return "Le moteur de base de données n'est pas initialisé";
    case kDbiInvalidParameter:
      text = "Paramètre invalide";
      break;
    case kDbiInvalidHandle:
      return "Handle de configuration invalide";
    case kDbiBufferTooSmall:
      text = "Tampon trop petit";
      break;
    case kDbiValueTooLong:
      text = "Valeur trop longue (127 caractères au plus)";
      break;
    case kDbiNodeNotFound:
      text = "Noeud de configuration introuvable";
      break;
    case kDbiFileNotFound:
      text = "Fichier de configuration introuvable";
      break;
    case kDbiFileError:
      text = "Erreur du fichier de configuration";
      break;
    case kDbiNotSupported:
      text = "Opération non prise en charge";
      break;
    default:
      return "Erreur du moteur de base de données " + std::to_string(result);
  }
  if (!LastDetail().empty()) text += " : " + LastDetail();
  return text;
}

void CheckConfigCall(int result) {
  if (result != kDbiOk) throw EDatabaseError(ConfigCallMessage(result));
}

}  // namespace patchpav
