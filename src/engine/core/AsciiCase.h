#pragma once

#include <string>
#include <string_view>

namespace patchpav {

// Names of aliases, parameters, databases, tables and fields are compared as the engine's users
// expect: without regard to the letter case of ASCII letters (accented letters compare exactly).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);

}  // namespace patchpav
