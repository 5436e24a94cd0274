#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace patchpav {

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// The code point that starts at text[i], moving i past it; nullopt for a sequence that is not
// UTF-8 (a bad lead or continuation byte, a truncated, overlong or surrogate form, or a value past
// U+10FFFF). i must be below text.size().
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& i);

}  // namespace patchpav
