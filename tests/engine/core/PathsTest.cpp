// Names outside ASCII go to the file system and come back as the same UTF-8: on Windows a
// conversion through the ANSI code page would lose or change them.

#include "engine/core/Paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

namespace patchpav {
namespace {

TEST(PathsTest, NonAsciiNamesRoundTripThroughTheFileSystem) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() /
                                          ("paths-test-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(directory);
  const std::string names[] = {
      "CPMAIN.DB",
      "Donn\xC3\xA9"
      "es \xC3\xA9t\xC3\xA9.DB",                   // Données été: in every Western code page
      "\xE2\x82\xAC-\xC5\x92uvre.mb",              // €-Œuvre: windows-1252, not Latin-1
      "\xCE\xB1\xCE\xB2\xCE\xB3 \xE6\x97\xA5.px",  // αβγ 日: in no Western code page
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::filesystem::path file = directory / PathFromUtf8(name);
    EXPECT_EQ(PathToUtf8(file.filename()), name);
    std::ofstream(file) << "x";
    ASSERT_TRUE(std::filesystem::exists(file));
    bool listed = false;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      listed |= PathToUtf8(entry.path().filename()) == name;
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(PathToUtf8(PathFromUtf8(PathToUtf8(file))), PathToUtf8(file));
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace patchpav
