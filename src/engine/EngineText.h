#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace patchpav {

// Names of aliases, parameters, databases and fields are compared as the engine's users expect:
// without regard to the letter case of ASCII letters (accented letters compare exactly).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);

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
