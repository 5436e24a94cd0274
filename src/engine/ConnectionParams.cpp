#include "engine/ConnectionParams.h"

#include "engine/Configuration.h"
#include "engine/EngineText.h"

namespace patchpav {

DriverParams AliasParameters(const DriverParams& driverDefaults, const DriverParams& settings,
                             const DriverParams& aliasLines) {
  DriverParams params;
  for (const auto& [name, value] : driverDefaults) params[ToUpperAscii(name)] = value;
  for (const auto& [name, value] : settings) {
    const auto it = params.find(ToUpperAscii(name));
    if (it != params.end()) it->second = value;
  }
  for (const auto& [name, value] : aliasLines) params[ToUpperAscii(name)] = value;
  return params;
}

std::string DriverSettingsNode(const std::string& driverType) {
  const std::string type = ToUpperAscii(driverType);
  return "\\DRIVERS\\" + (type == "STANDARD" ? std::string("PARADOX") : type) + "\\INIT\\";
}

DriverParams DriverSettings(const Configuration& config, const std::string& driverType,
                            const DriverParams& driverDefaults) {
  DriverParams settings;
  for (const std::string& node :
       {std::string("\\SYSTEM\\INIT\\"), DriverSettingsNode(driverType)}) {
    const auto* fields = config.Fields(node);
    if (!fields) continue;
    for (const ConfigField& field : *fields) {
      const std::string name = ToUpperAscii(field.name);
      if (driverDefaults.contains(name)) settings[name] = field.value;
    }
  }
  return settings;
}

void ApplyConnectionLines(DriverParams& params, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    ParamLine split = SplitParamLine(line);
    const auto it = params.find(ToUpperAscii(split.name));
    if (it != params.end()) it->second = std::move(split.value);
  }
}

}  // namespace patchpav
