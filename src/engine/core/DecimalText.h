#pragma once

// Decimal text read as a double the same way in every build: std::from_chars, which ignores the
// locale and rounds correctly, where strtod follows the C locale's decimal point and, in the
// shipped 32-bit executable, comes from the static runtime and its x87 code.

#include <optional>
#include <string_view>

namespace patchpav {

// The whole text ([+|-]digits[.digits][e|E[+|-]digits], or inf or nan) as the nearest double;
// nullopt for anything else or for a value beyond the doubles (an overflow or an underflow to 0).
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace patchpav
