#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/core/AsciiCase.h"
#include "engine/core/Paths.h"

namespace patchpav {
// Splits a parameter line "NAME=value" at its first '='; a line without one is a name with an
// empty value, as a list of name=value lines reads it.
struct ParamLine {
  std::string name;
  std::string value;
};
ParamLine SplitParamLine(std::string_view line);

}  // namespace patchpav
