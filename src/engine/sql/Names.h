#pragma once

#include <string>
#include <string_view>

namespace patchpav::sql {

// Names of keywords, columns and table files are compared without regard to the case of ASCII
// letters; other bytes (accented letters in UTF-8) must match exactly.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);

}  // namespace patchpav::sql
