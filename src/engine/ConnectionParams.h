#pragma once

#include <string>
#include <vector>

#include "engine/core/Driver.h"

namespace patchpav {

class Configuration;

// The parameters an alias has: every parameter its driver declares, at the driver's default, each
// replaced by the engine setting of the same name (settings), then the alias's own lines
// (aliasLines, which may add names the driver does not declare). Names are upper case.
DriverParams AliasParameters(const DriverParams& driverDefaults, const DriverParams& settings,
                             const DriverParams& aliasLines);

// The engine settings that apply to a driver: the fields of "\SYSTEM\INIT\", then those of the
// driver's own node, whose names the driver declares.
DriverParams DriverSettings(const Configuration& config, const std::string& driverType,
                            const DriverParams& driverDefaults);

// The configuration node of a driver type's settings: "\DRIVERS\PARADOX\INIT\" for the local
// STANDARD type, "\DRIVERS\<TYPE>\INIT\" otherwise.
std::string DriverSettingsNode(const std::string& driverType);

// Applies a connection's parameter lines ("NAME=value"): a line whose name the parameters hold
// (compared without regard to case) replaces that value; any other line is ignored.
void ApplyConnectionLines(DriverParams& params, const std::vector<std::string>& lines);

}  // namespace patchpav
