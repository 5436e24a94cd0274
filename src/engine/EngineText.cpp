#include "engine/EngineText.h"

namespace patchpav {
std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

ParamLine SplitParamLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {std::string(line), {}};
  return {std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
}

}  // namespace patchpav
