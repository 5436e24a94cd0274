#include "ui/theme_logic/ThemedButtonLogic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace patchpav {
namespace {

struct StateCase {
  std::string name;
  bool enabled, selected, mouseOver, isDefault, focused;
  ButtonDrawingState expected;
};

TEST(ChooseDrawingState, FollowsItsOrderOfPrecedence) {
  const std::vector<StateCase> cases = {
      {"disabled beats everything", false, true, true, true, true, kStateDisabled},
      {"disabled while the mouse is over it", false, false, true, false, false, kStateDisabled},
      {"pressed beats hot, default and focus", true, true, true, true, true, kStatePressed},
      {"pressed alone", true, true, false, false, false, kStatePressed},
      {"hot beats default and focus", true, false, true, true, true, kStateHot},
      {"default button", true, false, false, true, false, kStateDefaulted},
      {"focused button", true, false, false, false, true, kStateDefaulted},
      {"normal", true, false, false, false, false, kStateNormal},
  };
  for (const StateCase& c : cases) {
    EXPECT_EQ(ChooseDrawingState(c.enabled, c.selected, c.mouseOver, c.isDefault, c.focused),
              c.expected)
        << c.name;
  }
}

struct ImageCase {
  int numGlyphs;
  bool enabled;
  // The image shown for the states normal, hot, pressed, disabled, defaulted (0: grey copy).
  std::vector<int> images;
};

TEST(ChooseGlyphImage, PicksTheImageOfTheStateOrTheFirst) {
  const std::vector<ImageCase> cases = {
      {1, true, {1, 1, 1, 1, 1}},  {1, false, {0, 0, 0, 0, 0}}, {2, true, {1, 2, 1, 1, 1}},
      {2, false, {1, 2, 1, 1, 1}}, {3, true, {1, 2, 3, 1, 1}},  {3, false, {1, 2, 3, 1, 1}},
      {4, true, {1, 2, 3, 4, 1}},  {4, false, {1, 2, 3, 4, 1}},
  };
  const int imageWidth = 16;
  for (const ImageCase& c : cases) {
    for (int state = 1; state <= 5; ++state) {
      SCOPED_TRACE(::testing::Message()
                   << c.numGlyphs << " images, enabled " << c.enabled << ", state " << state);
      GlyphImageChoice choice =
          ChooseGlyphImage(imageWidth * c.numGlyphs, c.numGlyphs, state, c.enabled);
      const int image = c.images[static_cast<size_t>(state - 1)];
      EXPECT_EQ(choice.imageWidth, imageWidth);
      EXPECT_EQ(choice.grayCopy, image == 0);
      EXPECT_EQ(choice.sourceX, image == 0 ? 0 : (image - 1) * imageWidth);
    }
  }
}

TEST(GrayColor, TakesTheTruncatedMeanOfTheComponents) {
  struct GrayCase {
    std::uint32_t colour;
    std::uint32_t gray;
  };
  const std::vector<GrayCase> cases = {
      {0x000000FF, 0x00555555},  // pure red: 85
      {0x001F140A, 0x00141414},  // (10, 20, 31): 61 div 3 = 20
      {0x00FFFFFF, 0x00FFFFFF}, {0x00000000, 0x00000000},
      {0x00FF0000, 0x00555555},  // pure blue weighs as much as red
      {0x00020101, 0x00010101},  // 4 div 3 = 1
  };
  for (const GrayCase& c : cases) EXPECT_EQ(GrayColor(c.colour), c.gray) << std::hex << c.colour;
}

}  // namespace
}  // namespace patchpav
