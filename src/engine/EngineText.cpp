#include "engine/EngineText.h"

namespace patchpav {
ParamLine SplitParamLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {std::string(line), {}};
  return {std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
}

}  // namespace patchpav
