#pragma once

#include <string>
#include <string_view>

namespace patchpav {

// Names of aliases, parameters, databases, tables and fields are compared as the engine's users
// expect: without regard to the letter case of ASCII letters (accented letters compare exactly).
// Unlike std::toupper, none of this depends on the locale, and a byte of a UTF-8 sequence or of a
// code page's accented letter is never changed.
constexpr bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }
constexpr char UpperAscii(char c) { return IsLowerAscii(c) ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);

}  // namespace patchpav
