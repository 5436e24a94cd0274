#pragma once

#include <string>
#include <string_view>

#include "engine/drivers/odbc/OdbcApi.h"

namespace patchpav::odbc {

// Text is UTF-8 inside the engine and UTF-16 at the ODBC W API. Invalid UTF-8 is refused with an
// EDatabaseError rather than sent half-converted; a driver's invalid UTF-16 (a lone surrogate)
// reads as U+FFFD.
WideText ToWide(std::string_view utf8);
std::string ToUtf8(const SQLWCHAR* text, std::size_t length);
inline std::string ToUtf8(const WideText& text) { return ToUtf8(text.data(), text.size()); }

}  // namespace patchpav::odbc
