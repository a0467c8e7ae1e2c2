#include "effects/Camera.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "effects/FrameValues.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Matrix = std::array<float, 16>;
using Vector = std::array<float, 3>;

// Records the model-view matrix it is drawn under, before any placement of its own.
class Probe : public Demoeffect {
 public:
  std::vector<Matrix> seen;
  void draw() override {
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    seen.push_back(m);
    Demoeffect::draw();
  }
};

// Where the view sends a world direction (column-major matrix, w = 0).
Vector transformDirection(const Matrix& m, const Vector& d) {
  return {m[0] * d[0] + m[4] * d[1] + m[8] * d[2], m[1] * d[0] + m[5] * d[1] + m[9] * d[2],
          m[2] * d[0] + m[6] * d[1] + m[10] * d[2]};
}

// The world direction the view looks along: the one it sends to -Z.
Vector lookOf(const Matrix& m) { return {-m[2], -m[6], -m[10]}; }

void expectNear(const Vector& actual, const Vector& expected) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
}

class CameraView : public testing::GlTest {
 protected:
  // The camera leaves lighting on by design; keep it from the other tests in this program.
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
  }
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    glPopAttrib();
    GlTest::TearDown();
  }

  Matrix viewOf(Camera& camera) {
    Probe probe;
    camera.children.clear();
    camera.addChild(&probe);
    glLoadIdentity();
    camera.draw();
    camera.children.clear();
    return probe.seen.at(0);
  }
};

TEST_F(CameraView, NewCameraLooksFromZOneTowardsTheOriginAndIgnoresScaleAndColour) {
  Camera camera;
  camera.scale = 5.0;
  camera.color[0] = 0;
  const Matrix view = viewOf(camera);
  const Matrix expected = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -1, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(view[i], expected[i], 1e-6) << i;
}

TEST_F(CameraView, DirectionGivesHeadingTiltAndRoll) {
  Camera camera;
  camera.transform.direction[0] = 0.25f;  // a quarter turn: along +X
  expectNear(lookOf(viewOf(camera)), {1, 0, 0});

  camera.transform.direction[0] = 0.5f;
  camera.transform.direction[1] = 0.25f;  // down -Z, tilted 45 degrees up
  expectNear(lookOf(viewOf(camera)), {0, 0.70710678f, -0.70710678f});

  camera.transform.direction[1] = 1.0f;  // straight down: parallel to the up vector, passed on unchecked
  viewOf(camera);

  camera.transform.direction[1] = 0.5f;
  camera.transform.direction[2] = 0.25f;  // rolled a quarter turn: world up appears pointing left
  camera.transform.point[0] = 1.0f;
  const Matrix rolled = viewOf(camera);
  expectNear(lookOf(rolled), {0, 0, -1});
  expectNear(transformDirection(rolled, {0, 1, 0}), {-1, 0, 0});
  // The roll comes before the view, so it turns the eye's offset too.
  expectNear({rolled[12], rolled[13], rolled[14]}, {0, -1, -1});
}

TEST_F(CameraView, PlacementIsUpdatedNotAppliedAndHeadingWrapsWithoutAJump) {
  Camera camera;
  camera.transform.point[2] = 6.0f;
  camera.transform.deltaPoint[0] = 2.0f;
  camera.transform.direction[0] = 0.75f;
  camera.transform.deltaDirection[0] = 0.5f;
  frameDelta = 1.0;
  const Matrix view = viewOf(camera);
  // 0.75 + 0.5 wraps to 0.25: still a look along +X, from the moved eye (2, 0, 6).
  EXPECT_FLOAT_EQ(camera.transform.direction[0], 0.25f);
  expectNear(lookOf(view), {1, 0, 0});
  const Vector eyeInView = {view[12], view[13], view[14]};
  expectNear(eyeInView, transformDirection(view, {-2.0f, 0.0f, -6.0f}));

  // A smooth step moves the eye; the light stays where the world has it.
  frameDelta = 0.0;
  camera.transform.deltaPoint[0] = 0.0f;
  camera.transform.moveFrom[2] = 6.0f;
  camera.transform.moveTo[2] = 10.0f;
  camera.transform.point[2] = 6.0f;
  camera.transform.moveStart = 0.0;
  camera.transform.moveEnd = 4.0;
  camera.transform.motionFlags = Transform::moving;
  musicTime = 2.0;
  viewOf(camera);
  EXPECT_FLOAT_EQ(camera.transform.point[2], 8.0f);
}

TEST_F(CameraView, LightIsAFixedWorldDirectionAndLightingStaysOn) {
  for (const auto& direction : {std::array<float, 3>{0.5f, 0.5f, 0.0f}, std::array<float, 3>{0.1f, 0.3f, 0.2f},
                                std::array<float, 3>{0.9f, 0.7f, 0.0f}}) {
    Camera camera;
    camera.transform.point[0] = 3.0f;
    for (int i = 0; i < 3; ++i) camera.transform.direction[i] = direction[i];
    const Matrix view = viewOf(camera);
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);  // stored in eye space
    const Vector expected = transformDirection(view, {1, 1, 1});
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(light[i], expected[i], 1e-5);
    EXPECT_EQ(light[3], 0.0f);
  }
  for (GLenum capability : {GL_NORMALIZE, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL}) {
    EXPECT_TRUE(glIsEnabled(capability)) << capability;
  }
  GLfloat specular[4];
  glGetMaterialfv(GL_BACK, GL_SPECULAR, specular);
  EXPECT_FLOAT_EQ(specular[0], 0.6f);
  GLfloat shininess = 0;
  glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
  EXPECT_FLOAT_EQ(shininess, 60.0f);
}

}  // namespace
}  // namespace glowmarch
