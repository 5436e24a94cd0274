// Names compare without regard to the case of ASCII letters only: a byte of an accented letter,
// in UTF-8 or in a code page, is never folded, whatever the locale.

#include "engine/core/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>

namespace patchpav {
namespace {

TEST(AsciiCaseTest, FoldsAsciiLettersOnly) {
  struct Case {
    std::string text;
    std::string upper;
    std::string lower;
  };
  const Case cases[] = {
      {"Montant_1", "MONTANT_1", "montant_1"},
      {"@[`{", "@[`{", "@[`{"},  // the neighbours of the letters
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9T\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // été in UTF-8
      {"\xC9t\xE9", "\xC9T\xE9", "\xC9t\xE9"},                          // Été in windows-1252
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUpperAscii(c.text), c.upper) << c.text;
    EXPECT_EQ(ToLowerAscii(c.text), c.lower) << c.text;
    EXPECT_TRUE(EqualsIgnoreCase(c.text, c.upper)) << c.text;
    EXPECT_TRUE(EqualsIgnoreCase(c.lower, c.upper)) << c.text;
  }
}

TEST(AsciiCaseTest, AccentedLettersCompareExactly) {
  // A Latin-1 or windows-1252 case table would fold é (0xE9) onto É (0xC9); the engine must not.
  EXPECT_FALSE(EqualsIgnoreCase("\xE9", "\xC9"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC3\xA9", "\xC3\x89"));  // é and É in UTF-8
  EXPECT_FALSE(EqualsIgnoreCase("NOM", "NOMS"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
}

}  // namespace
}  // namespace patchpav
