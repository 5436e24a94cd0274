#include "database/BDEProcs.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ConfigCalls.h"
#include "engine/core/AsciiCase.h"
#include "engine/core/Errors.h"
#include "framework/ini/IniFile.h"
#include "framework/ini/IntegerText.h"

namespace patchpav {
namespace {

constexpr std::size_t kMaxValueLength = kValueSlotSize - 1;
// The value buffer of the usual size holds 78 slots; a node with more fields gets a buffer
// enlarged to hold them all, since the engine fills one slot per field of the node.
constexpr std::size_t kValueBufferSize = 10000;

struct EntryAddress {
  std::string nodePath;
  std::string fieldName;
};

EntryAddress SplitEntryAddress(const std::string& entryAddress) {
  const std::size_t semicolon = entryAddress.find(';');
  if (semicolon == std::string::npos) {
    throw EDatabaseError(
        "Invalid parameter passed to function.  There must be a semi-colon delimited sting "
        "passed");
  }
  return {entryAddress.substr(0, semicolon), entryAddress.substr(semicolon + 1)};
}

// Text held in a fixed-size area of a record: up to the first NUL, never past the area.
std::string BoundedText(const void* area, std::size_t size) {
  const char* text = static_cast<const char*>(area);
  return std::string(text, strnlen(text, size));
}

// One opening of the engine configuration. States: engine running or started here; file open or
// not. The destructor undoes what the constructor achieved, in reverse order, so an error at
// any step leaves no handle open and no engine started by us.
class OpenEngineConfig {
 public:
  OpenEngineConfig() {
    std::array<std::byte, kSystemConfigSize> system{};
    int result = GetSystemConfig(system.data(), system.size());
    if (result == kDbiNotInitialised) {
      CheckConfigCall(DbiInitFn(kDbiInterfaceVersion, nullptr));
      startedEngine_ = true;
      result = GetSystemConfig(system.data(), system.size());
    }
    try {
      CheckConfigCall(result);
      const std::string path =
          BoundedText(system.data() + kConfigPathOffset, kSystemConfigSize - kConfigPathOffset);
      CheckConfigCall(OpenConfigFile(path.c_str(), false, &handle_));
    } catch (...) {
      Release();
      throw;
    }
  }
  ~OpenEngineConfig() { Release(); }
  OpenEngineConfig(const OpenEngineConfig&) = delete;
  OpenEngineConfig& operator=(const OpenEngineConfig&) = delete;

  ConfigHandle Handle() const { return handle_; }

  // The normal way out: the configuration is written back, and a failure to write it is an
  // error (a change that never reached the file must not pass for done).
  void Close() {
    const int result = CloseConfigFile(&handle_, true, true, false);
    const std::string message = result == kDbiOk ? std::string() : ConfigCallMessage(result);
    handle_ = 0;
    Release();
    if (result != kDbiOk) throw EDatabaseError(message);
  }

 private:
  // Every other way out; nothing can be reported from here.
  void Release() {
    if (handle_ != 0) CloseConfigFile(&handle_, true, true, false);
    handle_ = 0;
    if (startedEngine_) DbiExit();
    startedEngine_ = false;
  }

  bool startedEngine_ = false;
  ConfigHandle handle_ = 0;
};

// The fields of one node as the engine hands them out: descriptors and value slots.
struct NodeRecord {
  std::uint16_t count = 0;
  std::vector<std::byte> descriptors;
  std::vector<char> values;

  std::string FieldName(std::size_t i) const {
    return BoundedText(descriptors.data() + i * kFieldDescriptorSize + kFieldNameOffset,
                       kMaxFieldNameLength);
  }
  char* Slot(std::size_t i) { return values.data() + i * kValueSlotSize; }
};

NodeRecord ReadNode(ConfigHandle handle, const std::string& nodePath) {
  NodeRecord node;
  CheckConfigCall(GetConfigRecord(handle, nodePath.c_str(), &node.count, nullptr, 0, nullptr, 0));
  if (node.count == 0) return node;  // nothing to fill: the entry can't be there
  node.descriptors.assign(std::size_t{node.count} * kFieldDescriptorSize, std::byte{0});
  node.values.assign(std::max(kValueBufferSize, std::size_t{node.count} * kValueSlotSize), '\0');
  std::uint16_t filled = node.count;
  CheckConfigCall(GetConfigRecord(handle, nodePath.c_str(), &filled, node.descriptors.data(),
                                  node.descriptors.size(), node.values.data(), node.values.size()));
  // The node cannot have grown in between (the handle holds its own copy), but a count beyond
  // what was allocated must never be walked.
  node.count = std::min(node.count, filled);
  return node;
}

EDatabaseError EntryNotFound(const std::string& entryAddress) {
  return EDatabaseError(entryAddress + " entry was not found in configuration file");
}

}  // namespace

void GetEngineConfigEntry(const std::string& entryAddress, std::string& value) {
  const EntryAddress address = SplitEntryAddress(entryAddress);
  OpenEngineConfig config;
  NodeRecord node = ReadNode(config.Handle(), address.nodePath);
  bool found = false;
  std::string result;
  for (std::size_t i = 0; i < node.count; ++i) {
    if (node.FieldName(i) == address.fieldName) {
      result = BoundedText(node.Slot(i), kValueSlotSize);
      found = true;
    }
  }
  if (!found) throw EntryNotFound(entryAddress);
  config.Close();
  value = result;
}

void SetEngineConfigEntry(const std::string& entryAddress, const std::string& value) {
  const EntryAddress address = SplitEntryAddress(entryAddress);
  if (value.size() > kMaxValueLength) {
    throw EDatabaseError("The value given to " + entryAddress + " is longer than " +
                         std::to_string(kMaxValueLength) + " characters");
  }
  OpenEngineConfig config;
  NodeRecord node = ReadNode(config.Handle(), address.nodePath);
  bool found = false;
  for (std::size_t i = 0; i < node.count; ++i) {
    if (node.FieldName(i) == address.fieldName) {
      char* slot = node.Slot(i);
      std::memset(slot, 0, kValueSlotSize);
      std::memcpy(slot, value.data(), value.size());
      CheckConfigCall(ModifyConfigRecord(config.Handle(), address.nodePath.c_str(), node.count,
                                         node.descriptors.data(), node.descriptors.size(),
                                         node.values.data(), node.values.size()));
      found = true;
    }
  }
  if (!found) throw EntryNotFound(entryAddress);
  config.Close();
}

void RepairEngineSettings(const std::string& baseDirectory) {
  constexpr const char* kSection = "Troubles";
  constexpr const char* kGate = "InitBDESettings";
  IniFile versionFile(baseDirectory + "VARDOMEX.VER");
  const int gate = versionFile.ReadInteger(kSection, kGate, -1);
  if (gate == -1) {
    // Only bookkeeping: nothing depends on it in this run, so a version file that may not be
    // written (read-only, on a share the user only reads) does not stop the base from opening.
    try {
      versionFile.WriteInteger(kSection, kGate, 0);
    } catch (const EIniFileError&) {
    }
    return;
  }
  if (gate != 1) return;

  std::string value;
  GetEngineConfigEntry("\\SYSTEM\\INIT\\;LOCAL SHARE", value);
  if (ToUpperAscii(value) == "FALSE") SetEngineConfigEntry("\\SYSTEM\\INIT\\;LOCAL SHARE", "TRUE");

  GetEngineConfigEntry("\\SYSTEM\\INIT\\;MAXFILEHANDLES", value);
  const std::optional<int> fileHandles = ParseIntegerText(value);
  if (!fileHandles) throw EConvertError("'" + value + "' n'est pas une valeur entière correcte");
  if (*fileHandles < 200) SetEngineConfigEntry("\\SYSTEM\\INIT\\;MAXFILEHANDLES", "200");

  for (const char* languageDriver :
       {"\\SYSTEM\\INIT\\;LANGDRIVER", "\\DRIVERS\\PARADOX\\INIT\\;LANGDRIVER"}) {
    GetEngineConfigEntry(languageDriver, value);
    if (value != "intl") SetEngineConfigEntry(languageDriver, "intl");
  }
}

}  // namespace patchpav
