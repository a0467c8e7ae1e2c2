#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "effects/Image.h"
#include "effects/Text.h"
#include "tests/support/PngFixture.h"
#include "tests/support/ScriptRunner.h"
#include "tests/support/TestShow.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

// Script lines that make pictures and words, run as the timeline runs them.
class PictureCommands : public testing::GlTest {
 protected:
  std::string run(const std::string& text) { return script.run(text); }

  testing::ScratchFolder folder;
  testing::ScriptRunner script;
  Player& player = script.player;
};

TEST_F(PictureCommands, TextAndImageAreMadeByNameAndTakeTexturesAndParameters) {
  folder.write("data/textures/profont.png", testing::encodeRgba(1, 1, {255, 255, 255, 255}));
  folder.write("data/textures/logo.png", testing::encodeRgba(1, 1, {255, 0, 0, 255}));

  EXPECT_EQ(run("-1 title new text"), "");
  EXPECT_EQ(run("-1 title local text;Glowmarch"), "");
  EXPECT_EQ(run("-1 title local append;!"), "");
  auto* title = dynamic_cast<Text*>(effects.find("title"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text, "Glowmarch!");
  EXPECT_NE(title->texture, 0u);

  EXPECT_EQ(run("-1 logo new image"), "");
  EXPECT_EQ(run("-1 logo texture logo.png"), "");
  EXPECT_EQ(run("-1 logo local aspect;1.5"), "");
  auto* logo = dynamic_cast<Image*>(effects.find("logo"));
  ASSERT_NE(logo, nullptr);
  EXPECT_NE(logo->texture, 0u);
  EXPECT_NE(logo->texture, title->texture);
  EXPECT_DOUBLE_EQ(logo->aspect, 1.5);

  EXPECT_EQ(run("-1 copy clone logo"), "");
  auto* copy = dynamic_cast<Image*>(effects.find("copy"));
  ASSERT_NE(copy, nullptr);
  EXPECT_DOUBLE_EQ(copy->aspect, 1.5);

  EXPECT_EQ(run("0 logo texture nowhere.png"), "Couldn't find texture: nowhere.png\n");
  EXPECT_EQ(logo->texture, 0u);
}

}  // namespace
}  // namespace glowmarch
