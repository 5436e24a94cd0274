#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/core/AsciiCase.h"

namespace patchpav {
// Paths travel as UTF-8 text; on Windows the wide path must come from UTF-8, never from the ANSI
// code page that std::filesystem would otherwise assume for a narrow string.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

// Splits a parameter line "NAME=value" at its first '='; a line without one is a name with an
// empty value, as a list of name=value lines reads it.
struct ParamLine {
  std::string name;
  std::string value;
};
ParamLine SplitParamLine(std::string_view line);

}  // namespace patchpav
