#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/edit/Reload.h"
#include "effects/Demoeffect.h"
#include "effects/Particles.h"

namespace glowmarch {
namespace {

TEST(Reload, OnlySavedShadersAreReplacedInPlaceAndTheirOldMessagesLeaveTheList) {
  EXPECT_TRUE(shadersOnly({"data/shaders/main.frag", "data/shaders/sub/glow.vert"}));
  EXPECT_FALSE(shadersOnly({"data/shaders/main.frag", "data/vesperscript.txt"}));
  EXPECT_FALSE(shadersOnly({"data/textures/logo.png"}));
  EXPECT_FALSE(shadersOnly({"data/shaders/"}));  // the folder itself
  EXPECT_FALSE(shadersOnly({}));                 // F6: the whole show
  EXPECT_EQ(shaderSourceNames({"data/shaders/main.frag", "data/shaders/sub/glow.vert", "data/vesperscript.txt"}),
            (std::set<std::string>{"main.frag", "sub/glow.vert"}));

  MessageLog log;
  for (const char* line : {"Error compiling data/shaders/a.frag", "0:3(1): error: x", "No effect named y: \"a b\" ignored",
                           "Keeping the last good version of program a", "0:3(1): error: x"}) {
    log.note(line);
  }
  // The same compiler line printed anew stays; the first of each is the old one.
  forgetMessages(log, "Error compiling data/shaders/a.frag\n0:3(1): error: x\nKeeping the last good version of program a\n");
  EXPECT_EQ(std::vector<std::string>(log.lines().begin(), log.lines().end()),
            (std::vector<std::string>{"No effect named y: \"a b\" ignored", "0:3(1): error: x"}));
}

// A frame drawn again shows each object where the frame left it: wrong only for an object the frame
// moved at each of two visits.
TEST(Reload, AFrameIsDrawnAgainUnlessAnObjectReachedTwiceMovesAtEachVisit) {
  Demoeffect left;
  Demoeffect right;
  Demoeffect shared;
  left.addChild(&shared);
  right.addChild(&shared);
  EXPECT_FALSE(redrawDiffers({&left, &right})) << "reached twice, but still";
  shared.transform.deltaPoint[1] = 0.5f;
  EXPECT_FALSE(redrawDiffers({&left})) << "moving, but reached once";
  EXPECT_TRUE(redrawDiffers({&left, &right}));
  shared.transform.deltaPoint[1] = 0.0f;
  Particles field;
  field.anim = Particles::burn;
  shared.addChild(&field);
  EXPECT_TRUE(redrawDiffers({&left, &right})) << "a burning field below a shared child";
}

}  // namespace
}  // namespace glowmarch
