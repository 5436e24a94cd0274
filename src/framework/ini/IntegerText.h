#pragma once

#include <optional>
#include <string_view>

namespace patchpav {

// The integer grammar of the product's settings: decimal with an optional sign, or hexadecimal
// after "0x", "0X" or "$". Nothing else is accepted, not even blanks around the digits, and a
// value outside the 32-bit signed range is no integer: a setting we cannot represent exactly
// falls back to its default rather than to a wrapped number.
std::optional<int> ParseIntegerText(std::string_view text);

}  // namespace patchpav
