// Programs, a camera, spheres and an OBJ model made by script lines, the way a show makes them.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "effects/Camera.h"
#include "effects/EffectRegistry.h"
#include "effects/Model.h"
#include "effects/Sphere.h"
#include "resources/ShaderLibrary.h"
#include "tests/support/ScriptRunner.h"
#include "tests/support/TestShow.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

class ShapesScript : public testing::GlTest {
 protected:
  void TearDown() override {
    if (IsSkipped()) return GlTest::TearDown();
    glBindVertexArray(0);
    GlTest::TearDown();
  }

  std::string run(const std::string& text) { return script.run(text); }

  testing::ScratchFolder folder;
  testing::ScriptRunner script;
  Player& player = script.player;
};

TEST_F(ShapesScript, ShaderLinesDefineProgramsThatNewSpheresAndShaderLinesUse) {
  folder.write("data/shaders/flat.vert",
               "#version 330 compatibility\nin vec3 in_position;\n"
               "void main() { gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0); }\n");
  folder.write("data/shaders/flat.frag",
               "#version 330 compatibility\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n");
  folder.write("data/cube.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\nf 1 3 4\nf 1 4 2\n");

  EXPECT_EQ(run("-2 early new sphere"), "Tried to find a nonexistant shader program: main\n");
  EXPECT_EQ(effects.find("early")->shader, 0u);

  EXPECT_EQ(run("-1 main SHADER flat.vert flat.frag"), "");
  const GLuint main = findShaderProgram("main");
  ASSERT_NE(main, 0u);
  EXPECT_EQ(run("-1 cam new camera"), "");
  EXPECT_EQ(run("-1 ball new sphere"), "");
  EXPECT_EQ(run("-1 cube new model"), "");
  EXPECT_NE(dynamic_cast<Camera*>(effects.find("cam")), nullptr);
  auto* ball = dynamic_cast<Sphere*>(effects.find("ball"));
  auto* cube = dynamic_cast<Model*>(effects.find("cube"));
  ASSERT_NE(ball, nullptr);
  ASSERT_NE(cube, nullptr);
  EXPECT_EQ(ball->shader, main);
  EXPECT_EQ(cube->shader, 0u);

  EXPECT_EQ(run("-1 cube shader main"), "");
  EXPECT_EQ(cube->shader, main);
  EXPECT_EQ(run("-1 cube local loadobj;data/cube.obj"), "");
  EXPECT_TRUE(cube->loaded);
  EXPECT_EQ(cube->indexList().size(), 9u);
  EXPECT_EQ(run("-1 cube local loadobj;data/none.obj"), "");
  EXPECT_EQ(run("-1 cube local load;data/cube.obj"), "failed local: load data/cube.obj");

  EXPECT_EQ(run("-1 ball local scale;3"), "");
  EXPECT_EQ(run("-1 twin clone ball"), "");
  auto* twin = dynamic_cast<Sphere*>(effects.find("twin"));
  ASSERT_NE(twin, nullptr);
  EXPECT_EQ(twin->vertexData, ball->vertexData);
  EXPECT_FLOAT_EQ(reinterpret_cast<const Vertex*>(twin->vertexData)[0].position[1], 3.0f);

  EXPECT_EQ(run("-1 cube shader missing"), "Tried to find a nonexistant shader program: missing\n");
  EXPECT_EQ(cube->shader, 0u);

  // The whole scene draws without a GL error (checked when the test ends).
  EXPECT_EQ(run("-1 cam append ball"), "");
  EXPECT_EQ(run("-1 cam append cube"), "");
  EXPECT_EQ(run("-1 cam append twin"), "");
  EXPECT_EQ(run("-1 cam append early"), "");  // no program, no attributes described
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glLoadIdentity();
  effects.find("cam")->draw();
  glPopAttrib();
}

}  // namespace
}  // namespace glowmarch
