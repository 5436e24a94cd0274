#include "framework/ini/IniFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "framework/ini/IntegerText.h"
#include "support/ScratchDirectory.h"

namespace patchpav {
namespace {

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class IniFileTest : public ::testing::Test {
 protected:
  ScratchDirectory dir_;
};

TEST(IntegerText, AcceptsDecimalWithSignAndThreeHexadecimalPrefixes) {
  struct Case {
    const char* text;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {"0", 0},
      {"300", 300},
      {"+17", 17},
      {"-1", -1},
      {"007", 7},
      {"0x20", 32},
      {"0X1f", 31},
      {"$FF", 255},
      {"$7FFFFFFF", 2147483647},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"12abc", std::nullopt},
      {" 12", std::nullopt},
      {"12 ", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"0x1G", std::nullopt},
      {"-0x10", std::nullopt},
      {"1.5", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"0x80000000", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseIntegerText(c.text), c.expected) << "text: \"" << c.text << "\"";
  }
}

TEST_F(IniFileTest, ReadsValuesAsWindowsGivesThem) {
  WriteBytes(dir_.Path() / "settings.ini",
             "[Main]\r\n"
             "Plain=value\r\n"
             "Blanks =   spaced value   \r\n"
             "Quoted=\"  inside quotes  \"\r\n"
             "SingleQuoted='single'\r\n"
             "HalfQuoted=\"open\r\n"
             "Empty=\r\n"
             "Accent=M\xE9"
             "decins\r\n"
             "[Other]\r\n"
             "Plain=other\r\n");
  const IniFile ini((dir_.Path() / "settings.ini").string());
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Main", "Plain", "value"},
      {"main", "PLAIN", "value"},
      {"Main", "Blanks", "spaced value"},
      {"Main", "Quoted", "  inside quotes  "},
      {"Main", "SingleQuoted", "single"},
      {"Main", "HalfQuoted", "\"open"},
      {"Main", "Empty", ""},
      {"Main", "Accent",
       "M\xC3\xA9"
       "decins"},
      {"Other", "Plain", "other"},
      {"Main", "Missing", "<default>"},
      {"NoSuchSection", "Plain", "<default>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected)
        << "[" << c.section << "] " << c.key;
  }
}

TEST_F(IniFileTest, AMissingFileGivesEveryDefault) {
  const IniFile ini((dir_.Path() / "absent.ini").string());
  EXPECT_EQ(ini.ReadString("Main", "Key", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadInteger("Main", "Key", -1), -1);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "absent.ini"));
}

TEST_F(IniFileTest, ValuesAreCutAt2047Characters) {
  const std::string longest(2047, 'a');
  WriteBytes(dir_.Path() / "long.ini",
             "[Main]\r\nFits=" + longest + "\r\nTooLong=" + longest + "bc\r\n");
  const IniFile ini((dir_.Path() / "long.ini").string());
  EXPECT_EQ(ini.ReadString("Main", "Fits", ""), longest);
  EXPECT_EQ(ini.ReadString("Main", "TooLong", ""), longest);
}

TEST_F(IniFileTest, ReadsIntegersAsTextAndFallsBackToTheDefault) {
  WriteBytes(dir_.Path() / "numbers.ini",
             "[N]\r\nDecimal=300\r\nNegative=-1\r\nPlus=+5\r\nHexLower=0x20\r\nHexUpper=0X20\r\n"
             "Dollar=$20\r\nWord=abc\r\nEmpty=\r\nPadded=  42  \r\nQuotedBlank=\" 42\"\r\n");
  const IniFile ini((dir_.Path() / "numbers.ini").string());
  struct Case {
    const char* key;
    int expected;
  };
  const Case cases[] = {
      {"Decimal", 300}, {"Negative", -1},    {"Plus", 5},     {"HexLower", 32},
      {"HexUpper", 32}, {"Dollar", 32},      {"Word", 99},    {"Empty", 99},
      {"Padded", 42},   {"QuotedBlank", 99}, {"Missing", 99},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadInteger("N", c.key, 99), c.expected) << c.key;
  }
}

TEST_F(IniFileTest, WritingCreatesTheFileAndSectionAndReplacesAValue) {
  IniFile ini((dir_.Path() / "new.ini").string());
  ini.WriteInteger("Troubles", "InitBDESettings", 0);
  EXPECT_EQ(ini.ReadInteger("Troubles", "InitBDESettings", -1), 0);
  ini.WriteString("Troubles", "InitBDESettings", "1");
  EXPECT_EQ(ini.ReadInteger("Troubles", "InitBDESettings", -1), 1);
  const std::string bytes = ReadBytes(dir_.Path() / "new.ini");
  EXPECT_NE(bytes.find("[Troubles]"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("InitBDESettings=1"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("InitBDESettings=0"), std::string::npos) << bytes;
}

TEST_F(IniFileTest, WritingKeepsTheOtherSectionsOfTheFile) {
  WriteBytes(dir_.Path() / "kept.ini", "[DBKERNEL]\r\nDBType=1\r\nAlias=Base\r\n");
  IniFile ini((dir_.Path() / "kept.ini").string());
  ini.WriteInteger("Troubles", "InitBDESettings", 0);
  EXPECT_EQ(ini.ReadInteger("DBKERNEL", "DBType", -1), 1);
  EXPECT_EQ(ini.ReadString("DBKERNEL", "Alias", ""), "Base");
  EXPECT_EQ(ini.ReadInteger("Troubles", "InitBDESettings", -1), 0);
}

TEST_F(IniFileTest, FileNamesAreMatchedWithoutRegardToLetterCase) {
  WriteBytes(dir_.Path() / "Vardomex.ver", "[DBKERNEL]\r\nDBType=1\r\n");
  IniFile upper((dir_.Path() / "VARDOMEX.VER").string());
  EXPECT_EQ(upper.ReadInteger("DBKERNEL", "DBType", -1), 1);

  upper.WriteInteger("Troubles", "InitBDESettings", 0);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_EQ(entry.path().filename().string(), "Vardomex.ver");
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_NE(ReadBytes(dir_.Path() / "Vardomex.ver").find("InitBDESettings=0"), std::string::npos);
}

TEST_F(IniFileTest, AFailedWriteRaisesAnErrorNamingTheFile) {
  const std::string inMissingDirectory = (dir_.Path() / "no-such-dir" / "VARDOMEX.VER").string();
  IniFile missing(inMissingDirectory);
  try {
    missing.WriteInteger("Troubles", "InitBDESettings", 0);
    FAIL() << "the write succeeded";
  } catch (const EIniFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Impossible d'\xC3\xA9"
              "crire dans " +
                  inMissingDirectory);
  }

  // A file that another program holds open without sharing the write access can't be written,
  // like a file on a read-only medium. (A read-only attribute does not stop Wine running as root.)
  const std::filesystem::path held = dir_.Path() / "held.ini";
  WriteBytes(held, "[DBKERNEL]\r\nDBType=1\r\n");
  const HANDLE holder = CreateFileW(held.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  IniFile locked(held.string());
  EXPECT_THROW(locked.WriteInteger("Troubles", "InitBDESettings", 0), EIniFileError);
  CloseHandle(holder);
  EXPECT_EQ(ReadBytes(held), "[DBKERNEL]\r\nDBType=1\r\n");
}

}  // namespace
}  // namespace patchpav
