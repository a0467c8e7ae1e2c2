// A camera looking at a sphere and an OBJ cube: the picture shows each where the view puts it.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "effects/Camera.h"
#include "effects/Model.h"
#include "effects/Sphere.h"
#include "tests/effects/MeshShaders.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Rgba = std::array<std::uint8_t, 4>;
constexpr Rgba red = {255, 0, 0, 255};
constexpr Rgba green = {0, 255, 0, 255};
constexpr Rgba empty = {0, 0, 0, 0};

constexpr const char* cubeObj =
    "v -0.5 -0.5 -0.5\nv 0.5 -0.5 -0.5\nv 0.5 0.5 -0.5\nv -0.5 0.5 -0.5\n"
    "v -0.5 -0.5 0.5\nv 0.5 -0.5 0.5\nv 0.5 0.5 0.5\nv -0.5 0.5 0.5\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
    "f 1/1/1 4/4/1 3/3/1 2/2/1\nf 1/1/1 3/3/1 2/2/1\nf 5/1/2 6/2/2 7/3/2\nf 5/1/2 7/3/2 8/4/2\n"
    "f 1/1/3 2/2/3 6/3/3\nf 1/1/3 6/3/3 5/4/3\nf 4/1/4 8/2/4 7/3/4\nf 4/1/4 7/3/4 3/4/4\n"
    "f 1/1/5 5/2/5 8/3/5\nf 1/1/5 8/3/5 4/4/5\nf 2/1/6 3/2/6 7/3/6\nf 2/1/6 7/3/6 6/4/6\n";

class ScenePicture : public testing::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);  // the camera turns lighting on for good
  }
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    glPopAttrib();
    glBindVertexArray(0);
    GlTest::TearDown();
  }
  testing::ScratchFolder folder;
};

TEST_F(ScenePicture, CameraShowsTheSphereUpperLeftAndTheCubeLowerRight) {
  folder.write("data/models/cube.obj", cubeObj);
  const GLuint program = testing::makeMeshProgram(folder, "main");

  Camera camera;
  camera.transform.point[2] = 6.0f;
  Sphere sphere;  // takes "main"
  sphere.state = 1;
  sphere.transform.point[0] = -1.5f;
  sphere.transform.point[1] = 1.0f;
  Model cube;
  cube.shader = program;
  cube.state = 2;
  cube.transform.point[0] = 1.5f;
  cube.transform.point[1] = -1.0f;
  char word[] = "loadobj;data/models/cube.obj";
  cube.local(0.0f, word);
  ASSERT_TRUE(cube.loaded);
  camera.addChild(&sphere);
  camera.addChild(&cube);

  glLoadIdentity();
  camera.draw();

  // At distance 6 the 45-degree view spans 2.49 units each way over 32 pixels: the sphere's
  // centre falls near pixel (13, 45) with a radius near 13 pixels, the cube's near (51, 19)
  // with half a side near 6.
  EXPECT_EQ(gl().pixel(13, 45), red);
  EXPECT_EQ(gl().pixel(13, 45 + 10), red);
  EXPECT_EQ(gl().pixel(13 + 10, 45), red);
  EXPECT_EQ(gl().pixel(13, 45 + 16), empty);
  EXPECT_EQ(gl().pixel(51, 19), green);
  EXPECT_EQ(gl().pixel(51 - 4, 19 + 4), green);
  EXPECT_EQ(gl().pixel(51 - 9, 19), empty);
  EXPECT_EQ(gl().pixel(51, 19 + 9), empty);
  EXPECT_EQ(gl().pixel(32, 32), empty);
  EXPECT_EQ(gl().pixel(51, 45), empty);
  EXPECT_EQ(gl().pixel(13, 19), empty);

  // Turned half a turn, the camera looks away from both.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  camera.transform.direction[0] = 0.0f;
  glLoadIdentity();
  camera.draw();
  for (std::uint8_t value : gl().readAll()) ASSERT_EQ(value, 0);
}

}  // namespace
}  // namespace glowmarch
