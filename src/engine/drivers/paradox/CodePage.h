#pragma once

// Alpha fields hold bytes in the table's code page; inside the program text is UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace patchpav::paradox {

bool IsSupportedCodePage(int codePage);  // 437, 850, 1252, HP Roman-8 (LanguageDriver.h)

// Bytes of the code page to UTF-8. A byte above 0x7F in a code page we do not know is an
// EDatabaseError naming the code page (plain ASCII passes in every code page).
std::string CodePageToUtf8(std::string_view bytes, int codePage);

// UTF-8 to bytes of the code page; nullopt when a character has no byte there (or the text is
// not valid UTF-8).
std::optional<std::string> Utf8ToCodePage(std::string_view text, int codePage);

}  // namespace patchpav::paradox
