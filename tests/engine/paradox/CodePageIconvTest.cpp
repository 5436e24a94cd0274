// Our code page tables against glibc's iconv, byte by byte, both ways.

#include <iconv.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/drivers/paradox/CodePage.h"
#include "engine/drivers/paradox/LanguageDriver.h"

namespace patchpav::paradox {
namespace {

// iconv's UTF-8 for one byte of the code page; empty when iconv has no character for it.
std::string IconvUtf8(const char* codePage, unsigned char byte) {
  iconv_t cd = iconv_open("UTF-8", codePage);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* inPtr = in;
  char* outPtr = out;
  std::size_t inLeft = 1;
  std::size_t outLeft = sizeof out;
  const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (done == static_cast<std::size_t>(-1)) return {};
  return std::string(out, sizeof out - outLeft);
}

TEST(CodePageIconvTest, EveryHighByteMatchesIconvAndComesBack) {
  const struct {
    int number;
    const char* name;
  } pages[] = {{437, "CP437"}, {850, "CP850"}, {1252, "CP1252"}, {kHpRoman8, "HP-ROMAN8"}};
  for (const auto& page : pages) {
    for (int b = 0x80; b <= 0xFF; ++b) {
      SCOPED_TRACE(std::string(page.name) + " byte " + std::to_string(b));
      const std::string byte(1, static_cast<char>(b));
      const std::string utf8 = CodePageToUtf8(byte, page.number);
      const std::string expected = IconvUtf8(page.name, static_cast<unsigned char>(b));
      if (expected.empty()) {
        // A byte without a character reads as the replacement character, which writes nothing.
        if (page.number == kHpRoman8) {
          EXPECT_EQ(utf8, "\xEF\xBF\xBD");
        }
        continue;
      }
      EXPECT_EQ(utf8, expected);
      EXPECT_EQ(Utf8ToCodePage(utf8, page.number), byte);
    }
  }
  EXPECT_FALSE(Utf8ToCodePage("€", 437));
  EXPECT_FALSE(Utf8ToCodePage("\xC3", 1252));  // cut UTF-8 sequence
}

}  // namespace
}  // namespace patchpav::paradox
