#include <GL/glew.h>
#include <gtest/gtest.h>

#include "effects/EffectRegistry.h"
#include "tests/support/TestShow.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class PlayerInit : public testing::GlTest {};

TEST_F(PlayerInit, ListsEveryKeptLineAndRunsOnlyNegativeOnesInFileOrder) {
  testing::ScratchFolder folder;
  folder.write("data/vesperscript.txt",
               "# a comment\r\n"
               "-1 a new demoeffect\r\n"
               "-0.5 SCENE append a\r\n"
               "0 a setpoint 1 2 3\r\n"
               "-2 b new demoeffect");
  Player player{Player::NotStarted{}};
  CaptureStdout();
  player.init();
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(out,
            "-1 a new demoeffect -1.000000\n"
            "-0.5 SCENE append a -0.500000\n"
            "0 a setpoint 1 2 3 0.000000\n"
            "-2 b new demoeffect -2.000000\n");
  ASSERT_EQ(player.scriptLines.size(), 4u);
  EXPECT_TRUE(player.scriptLines[0].executed);
  EXPECT_TRUE(player.scriptLines[1].executed);
  EXPECT_FALSE(player.scriptLines[2].executed);
  EXPECT_TRUE(player.scriptLines[3].executed);
  ASSERT_EQ(player.scene.size(), 1u);
  EXPECT_EQ(player.scene[0], effects.find("a"));
  EXPECT_EQ(effects.find("a")->transform.point[0], 0.0f);  // the line at 0 waits for the music
  // A run line reads as its time stamp alone from then on.
  EXPECT_STREQ(player.scriptLines[0].text, "-1");
}

TEST_F(PlayerInit, AStampThatIsNotExactInBinaryIsListedAsWritten) {
  testing::ScratchFolder folder;
  folder.write("data/vesperscript.txt", "1234.5678 a setpoint 1 2 3\n");
  Player player{Player::NotStarted{}};
  CaptureStdout();
  player.init();
  // Read in single precision it would list as 1234.567749.
  EXPECT_EQ(GetCapturedStdout(), "1234.5678 a setpoint 1 2 3 1234.567800\n");
}

TEST_F(PlayerInit, SetsTheFixedGlState) {
  testing::ScratchFolder folder;
  folder.write("data/vesperscript.txt", "");
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glShadeModel(GL_FLAT);
  glClearColor(1, 1, 1, 1);
  Player player{Player::NotStarted{}};
  player.init();
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint shade = 0;
  glGetIntegerv(GL_SHADE_MODEL, &shade);
  EXPECT_EQ(shade, GL_SMOOTH);
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 0.0f);
  EXPECT_EQ(clear[3], 0.0f);
  GLint hint = 0;
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &hint);
  EXPECT_EQ(hint, GL_NICEST);
  EXPECT_TRUE(player.scriptLines.empty());
}

TEST_F(PlayerInit, MissingScriptIsReportedAndTheTimelineStaysEmpty) {
  testing::ScratchFolder folder;
  Player player{Player::NotStarted{}};
  CaptureStdout();
  player.init();
  EXPECT_EQ(GetCapturedStdout(), "Couldn't open: data/vesperscript.txt\n");
  EXPECT_TRUE(player.scriptLines.empty());
}

TEST_F(PlayerInit, AFolderInPlaceOfTheScriptIsNotRead) {
  testing::ScratchFolder folder;
  std::filesystem::create_directories(folder.path() / "data/vesperscript.txt");
  Player player{Player::NotStarted{}};
  CaptureStdout();
  player.init();
  EXPECT_EQ(GetCapturedStdout(), "Couldn't open: data/vesperscript.txt\n");
  EXPECT_TRUE(player.scriptLines.empty());
}

}  // namespace
}  // namespace glowmarch
