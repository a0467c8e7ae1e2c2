// A particle field made and configured by script lines, the way a show does it.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "effects/ParticleLayout.h"
#include "effects/Particles.h"
#include "tests/support/ScriptRunner.h"
#include "tests/support/TestShow.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class ParticlesScript : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::resetShow();
    restartParticleRandom();
  }
  void TearDown() override { testing::resetShow(); }

  std::string run(const std::string& text) { return script.run(text); }

  testing::ScriptRunner script;
  Player& player = script.player;
};

TEST_F(ParticlesScript, NewParticlesMultipliesATemplateNamedByInit) {
  EXPECT_EQ(run("-1 spark new demoeffect"), "");
  EXPECT_EQ(run("-1 field new particles"), "");
  auto* field = dynamic_cast<Particles*>(effects.find("field"));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(run("-1 field local x;3"), "");
  EXPECT_EQ(run("-1 field local y;2"), "");
  EXPECT_EQ(run("-1 field local type;tube"), "");
  EXPECT_EQ(run("-1 field local init;spark"), "");
  ASSERT_TRUE(field->initialised);
  EXPECT_EQ(field->children.size(), 6u);
  EXPECT_EQ(field->type, Particles::tube);

  // The pulse starts at the line's own time stamp, in single precision.
  EXPECT_EQ(run("12.3 field local anim;sinepulse"), "");
  EXPECT_EQ(field->timer, static_cast<double>(12.3f));

  EXPECT_EQ(run("-1 field local bogus;1"), "failed local: bogus 1");
  EXPECT_EQ(run("-1 other new particles"), "");
  EXPECT_EQ(run("-1 other local init;nothing"), "No effect named nothing to make particles of\n");
  EXPECT_FALSE(effects.contains("nothing"));

  // A copy of an initialised field draws the same particles.
  EXPECT_EQ(run("-1 twin clone field"), "");
  auto* twin = dynamic_cast<Particles*>(effects.find("twin"));
  ASSERT_NE(twin, nullptr);
  EXPECT_TRUE(twin->initialised);
  EXPECT_EQ(twin->children, field->children);
  EXPECT_EQ(twin->anim, Particles::sinepulse);
}

}  // namespace
}  // namespace glowmarch
