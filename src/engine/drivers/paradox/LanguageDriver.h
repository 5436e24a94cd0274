#pragma once

// The language driver a table was written with: its name ends the header's variable part (after
// the field numbers) and gives the code page of the table's text. The desktop product may leave
// the header's code-page word at 0 and only name its driver ("BLROM800", HP Roman-8), and when
// both are present and disagree the name is the one the text was written in.

#include <optional>
#include <string>
#include <string_view>

namespace patchpav::paradox {

// HP Roman-8 has no Windows code page: IBM's number for it stands in inside the program, and a
// table in it holds 0 in its header's code-page word.
constexpr int kHpRoman8 = 1051;

// The code page of a language driver's name, compared without regard to case; nullopt for a
// name we do not know.
std::optional<int> LanguageDriverCodePage(std::string_view name);

// The name a new table in this code page carries (one of those LanguageDriverCodePage knows).
std::string LanguageDriverName(int codePage);

}  // namespace patchpav::paradox
