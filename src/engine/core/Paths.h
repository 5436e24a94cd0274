#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace patchpav {

// Paths travel as UTF-8 text; on Windows the wide path must come from UTF-8, never from the ANSI
// code page that std::filesystem would otherwise assume for a narrow string.
std::filesystem::path PathFromUtf8(std::string_view text);
// The path as UTF-8 text, as messages and the engine's callers see it, whatever the platform's
// narrow encoding.
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace patchpav
