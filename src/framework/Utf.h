#pragma once

#include <string>
#include <string_view>

namespace patchpav {

// Text is UTF-8 inside the program and UTF-16 only at the Win32 boundary: these two are the
// only conversions. Invalid input is replaced (U+FFFD), never refused: texts come from us.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace patchpav
