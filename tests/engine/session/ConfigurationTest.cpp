#include "engine/Configuration.h"

#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "engine/core/Errors.h"
#include "support/FileBytes.h"

namespace patchpav::test {
namespace {

class ConfigurationTest : public EngineTest {
 protected:
  void Write(const std::string& text) { testing::WriteFileBytes(configPath_, text); }
};

TEST_F(ConfigurationTest, RoundTripKeepsOrderBlanksAndEmptyNodes) {
  Configuration config;
  config.ReplaceNode("\\A\\B\\", {{"Z", " spaced value "}, {"A", ""}, {"X Y", "a=b;c"}});
  config.ReplaceNode("EMPTY", {});
  config.Save(configPath_);
  const Configuration read = Configuration::Load(configPath_);
  ASSERT_NE(read.Fields("\\a\\b"), nullptr);
  EXPECT_EQ(read.Fields("\\A\\B\\")->size(), 3u);
  EXPECT_EQ(read.FieldValue("\\A\\B\\", "Z"), " spaced value ");
  EXPECT_EQ(read.FieldValue("\\A\\B\\", "X Y"), "a=b;c");
  EXPECT_EQ(read.FieldValue("\\A\\B\\", "x y"), std::nullopt) << "field names are exact";
  EXPECT_TRUE(read.NodeExists("\\EMPTY\\"));
  EXPECT_TRUE(read.NodeExists("\\A\\"));
  EXPECT_FALSE(read.NodeExists("\\A\\C\\"));
  EXPECT_FALSE(read.NodeExists("\\A\\B\\C\\"));
}

TEST_F(ConfigurationTest, MalformedFilesAreRefusedAndLeftAlone) {
  const std::string sig = std::string(Configuration::kSignature) + "\n";
  struct Case {
    std::string text;
    std::string reason;
  };
  const Case cases[] = {
      {"", "il est vide"},
      {"[\\SYSTEM\\INIT\\]\nA=1\n", "ligne 1 : ce n'est pas un fichier de configuration PatchPAV"},
      {sig + "A=1\n", "ligne 2 : paramètre hors de tout noeud"},
      {sig + "[\\S\\\n", "ligne 2 : crochet fermant manquant"},
      {sig + "[\\S\\]\nNOEQUALS\n", "ligne 3 : '=' manquant"},
      {sig + "[\\S\\]\nA=1\nA=2\n", "ligne 4 : paramètre en double A"},
      {sig + "[\\S\\]\n[\\s\\]\n", "ligne 3 : noeud en double \\s\\"},
      {sig + "[\\S\\]\n" + std::string(33, 'N') + "=1\n", "ligne 3 : Nom de paramètre"},
  };
  for (const Case& c : cases) {
    Write(c.text);
    try {
      Configuration::Load(configPath_);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const EDatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
    // The engine refuses to start on it, and does not replace it with the defaults.
    EXPECT_THROW(Engine::Instance().Initialise(), EDatabaseError);
    EXPECT_FALSE(Engine::Instance().Initialised());
    EXPECT_EQ(testing::FileBytes(configPath_), c.text);
  }
}

TEST_F(ConfigurationTest, CarriageReturnsAndAByteOrderMarkAreRead) {
  Write("\xEF\xBB\xBF" + std::string(Configuration::kSignature) +
        "\r\n[\\SYSTEM\\INIT\\]\r\nLOCAL SHARE=TRUE\r\n");
  EXPECT_EQ(Configuration::Load(configPath_).FieldValue("\\SYSTEM\\INIT\\", "LOCAL SHARE"), "TRUE");
}

TEST_F(ConfigurationTest, ThePathCannotChangeWhileTheEngineRuns) {
  Engine::Instance().Initialise();
  EXPECT_THROW(Engine::Instance().SetConfigPath(dir_.Path() / "x.cfg"), EDatabaseError);
  EXPECT_EQ(Engine::Instance().ConfigPath(), configPath_);
}

}  // namespace
}  // namespace patchpav::test
