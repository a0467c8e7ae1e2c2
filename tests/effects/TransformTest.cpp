#include <gtest/gtest.h>

#include "effects/Transform.h"

namespace glowmarch {
namespace {

TEST(Transform, StartsNeutral) {
  Transform t;
  t.point[1] = 3.0f;
  t.motionFlags = Transform::moving;
  t.reset();
  EXPECT_EQ(t.point[1], 0.0f);
  EXPECT_EQ(t.direction[0], 0.5f);
  EXPECT_EQ(t.direction[1], 0.5f);
  EXPECT_EQ(t.direction[2], 0.0f);
  EXPECT_EQ(t.motionFlags, 0u);
}

TEST(Transform, VelocitiesAdvanceWithTheFrameDeltaAndDirectionWrapsKeepingItsSign) {
  Transform t;
  t.deltaPoint[0] = 2.0f;
  t.direction[0] = 0.75f;
  t.deltaDirection[0] = 0.5f;
  t.advance(0.0, 1.0);
  EXPECT_FLOAT_EQ(t.point[0], 2.0f);
  EXPECT_FLOAT_EQ(t.direction[0], 0.25f);  // 1.25 wraps in the same update

  t.direction[0] = 0.25f;
  t.deltaDirection[0] = -0.5f;
  t.advance(0.0, 1.0);
  EXPECT_FLOAT_EQ(t.direction[0], -0.25f);  // fmod keeps the sign
  t.advance(0.0, 2.0);
  EXPECT_FLOAT_EQ(t.direction[0], -0.25f);  // -1.25 becomes -0.25

  t.direction[1] = 1.0f;  // exactly 1 is not wrapped
  t.deltaDirection[0] = 0.0f;
  t.advance(0.0, 1.0);
  EXPECT_EQ(t.direction[1], 1.0f);
}

TEST(Transform, PointTweenFollowsTheSmoothStepAndLandsOnItsTarget) {
  Transform t;
  t.moveStart = 10.0;
  t.moveEnd = 12.0;
  t.moveTo[0] = 2.0f;
  t.motionFlags = Transform::moving;
  t.advance(9.0, 0.0);
  EXPECT_EQ(t.point[0], 0.0f);
  t.advance(11.0, 0.0);
  EXPECT_FLOAT_EQ(t.point[0], 1.0f);
  t.advance(11.5, 0.0);
  EXPECT_FLOAT_EQ(t.point[0], 2.0f * 0.84375f);
  EXPECT_TRUE(t.motionFlags & Transform::moving);
  t.advance(12.0, 0.0);  // not past the end yet
  EXPECT_TRUE(t.motionFlags & Transform::moving);
  t.advance(12.01, 0.0);
  EXPECT_FLOAT_EQ(t.point[0], 2.0f);
  EXPECT_FALSE(t.motionFlags & Transform::moving);
}

TEST(Transform, TweenWhoseEndHasPassedSetsTheTargetAtOnceAndOverridesVelocity) {
  Transform t;
  t.rotateStart = 1.0;
  t.rotateEnd = 2.0;
  t.rotateFrom[2] = 0.0f;
  t.rotateTo[2] = 3.0f;  // outside [0, 1]: a tween's value is not wrapped in its own update
  t.deltaDirection[2] = 5.0f;
  t.motionFlags = Transform::rotating;
  t.advance(50.0, 1.0);
  EXPECT_FLOAT_EQ(t.direction[2], 3.0f);
  EXPECT_EQ(t.motionFlags, 0u);
  t.deltaDirection[2] = 0.0f;
  t.advance(51.0, 1.0);
  EXPECT_FLOAT_EQ(t.direction[2], 0.0f);  // wrapped by the next update: fmod(3, 1)
}

TEST(Transform, ZeroLengthTweenJumpsToItsTargetInsteadOfBecomingNan) {
  Transform t;
  t.moveStart = t.moveEnd = 4.0;
  t.moveTo[1] = 7.0f;
  t.motionFlags = Transform::moving;
  t.advance(4.0, 0.0);
  EXPECT_FLOAT_EQ(t.point[1], 7.0f);
  t.advance(4.5, 0.0);
  EXPECT_FLOAT_EQ(t.point[1], 7.0f);
  EXPECT_EQ(t.motionFlags, 0u);
}

TEST(Transform, SmoothStepClampsOutsideItsInterval) {
  EXPECT_EQ(smoothStep(-5.0, 0.0, 1.0), 0.0f);
  EXPECT_EQ(smoothStep(5.0, 0.0, 1.0), 1.0f);
  EXPECT_FLOAT_EQ(smoothStep(0.5, 0.0, 1.0), 0.5f);
}

}  // namespace
}  // namespace glowmarch
