#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "effects/Demoeffect.h"
#include "effects/FrameValues.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Matrix = std::array<float, 16>;

Matrix currentModelView() {
  Matrix m{};
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
  return m;
}

// Records the model-view matrix and colour it is drawn with.
class Probe : public Demoeffect {
 public:
  std::vector<Matrix> seen;
  void draw() override {
    Demoeffect::draw();
    seen.push_back(currentModelView());
  }
};

class DemoeffectDraw : public testing::GlTest {};

TEST_F(DemoeffectDraw, GroupPlacesAndScalesItsChildrenInAppendOrder) {
  Demoeffect group;
  group.transform.point[0] = 1.0f;
  group.scale = 2.0;
  group.scaleY = 3.0;
  Probe first;
  Probe second;
  second.transform.point[2] = -1.0f;
  group.addChild(&first);
  group.addChild(&second);

  glLoadIdentity();
  group.draw();

  ASSERT_EQ(first.seen.size(), 1u);
  ASSERT_EQ(second.seen.size(), 1u);
  const Matrix& a = first.seen[0];
  EXPECT_FLOAT_EQ(a[0], 2.0f);   // x scale
  EXPECT_FLOAT_EQ(a[5], 6.0f);   // y scale: scale * scaleY
  EXPECT_FLOAT_EQ(a[10], 2.0f);  // z scale
  EXPECT_FLOAT_EQ(a[12], 1.0f);  // translation from the group
  const Matrix& b = second.seen[0];
  EXPECT_FLOAT_EQ(b[14], -2.0f);  // child's own z offset, scaled by the group
  // Each child is bracketed by push and pop: the group's matrix is intact afterwards.
  const Matrix after = currentModelView();
  EXPECT_FLOAT_EQ(after[0], 2.0f);
  EXPECT_FLOAT_EQ(after[12], 1.0f);
}

TEST_F(DemoeffectDraw, NeutralPlacementIsTheIdentityAndDirectionTurnsInTurns) {
  Probe probe;
  glLoadIdentity();
  probe.draw();
  const Matrix identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(probe.seen[0][i], identity[i], 1e-6) << i;

  // A quarter turn about Y maps +X to -Z.
  probe.transform.direction[0] = 0.75f;
  glLoadIdentity();
  probe.draw();
  EXPECT_NEAR(probe.seen[1][0], 0.0f, 1e-6);
  EXPECT_NEAR(probe.seen[1][2], -1.0f, 1e-6);
}

TEST_F(DemoeffectDraw, TiltSpansHalfATurnAboutXAndRollAWholeTurnAboutZ) {
  Probe probe;
  probe.transform.direction[1] = 0.75f;   // 45 degrees about X
  probe.transform.direction[2] = 0.125f;  // 45 degrees about Z
  glLoadIdentity();
  probe.draw();
  const Matrix& m = probe.seen.at(0);
  const double half = std::sqrt(0.5);
  // +X is rolled halfway to +Y, then tilted halfway to +Z.
  EXPECT_NEAR(m[0], half, 1e-6);
  EXPECT_NEAR(m[1], 0.5, 1e-6);
  EXPECT_NEAR(m[2], 0.5, 1e-6);
  // +Z is untouched by the roll and tilted halfway to -Y.
  EXPECT_NEAR(m[8], 0.0, 1e-6);
  EXPECT_NEAR(m[9], -half, 1e-6);
  EXPECT_NEAR(m[10], half, 1e-6);
}

TEST_F(DemoeffectDraw, ATweenLateInTheShowLandsExactlyOnTheSinglePrecisionCurve) {
  // At 100 s a fraction formed in double lies hundreds of float steps off the one formed in float.
  Probe probe;
  probe.transform.moveStart = 100.0;
  probe.transform.moveEnd = 101.0;
  probe.transform.moveTo[0] = 1.0f;
  probe.transform.motionFlags = Transform::moving;
  frameDelta = 0.0;
  for (const double time : {100.3, 100.7}) {
    musicTime = time;
    const float t = (static_cast<float>(time) - 100.0f) / (101.0f - 100.0f);
    glLoadIdentity();
    probe.draw();
    EXPECT_EQ(probe.seen.back()[12], (3.0f - 2.0f * t) * t * t) << time;
  }
}

TEST_F(DemoeffectDraw, ColourAndTextureAreHandedToGl) {
  Demoeffect effect;
  effect.color[0] = 10;
  effect.color[1] = 20;
  effect.color[2] = 30;
  effect.color[3] = 40;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  effect.texture = texture;
  effect.draw();
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_NEAR(colour[0] * 255.0f, 10.0f, 0.01f);
  EXPECT_NEAR(colour[3] * 255.0f, 40.0f, 0.01f);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), texture);
  glDeleteTextures(1, &texture);
}

}  // namespace
}  // namespace glowmarch

namespace glowmarch {
namespace {

GLuint linkProgram(const char* fragment) {
  const char* vertex =
      "#version 330 compatibility\n"
      "void main() { gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }\n";
  GLuint program = glCreateProgram();
  for (auto [type, source] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
    GLuint stage = glCreateShader(type);
    glShaderSource(stage, 1, &source, nullptr);
    glCompileShader(stage);
    glAttachShader(program, stage);
  }
  glLinkProgram(program);
  return program;
}

const char* uniformShader =
    "#version 330 compatibility\n"
    "uniform int state; uniform float musictime; uniform float musicdata[256];\n"
    "void main() { gl_FragColor = vec4(float(state), musictime, musicdata[7], 1.0); }\n";

class DemoeffectUniforms : public testing::GlTest {};

TEST_F(DemoeffectUniforms, EveryObjectFeedsItsProgramItsOwnStateTimeAndTheCurrentSpectrum) {
  const GLuint program = linkProgram(uniformShader);
  Demoeffect a;
  Demoeffect b;
  a.shader = b.shader = program;
  a.state = 3;
  b.state = 5;
  b.timer = 2.0;
  musicTime = 10.0;
  musicData[7] = 0.25f;

  GLint state = 0;
  GLfloat time = 0.0f;
  GLfloat bin = 0.0f;
  const GLint stateAt = glGetUniformLocation(program, "state");
  const GLint timeAt = glGetUniformLocation(program, "musictime");
  const GLint binAt = glGetUniformLocation(program, "musicdata[7]");
  a.draw();
  glGetUniformiv(program, stateAt, &state);
  glGetUniformfv(program, timeAt, &time);
  EXPECT_EQ(state, 3);
  EXPECT_EQ(time, 10.0f);
  b.draw();
  glGetUniformiv(program, stateAt, &state);
  glGetUniformfv(program, timeAt, &time);
  EXPECT_EQ(state, 5);
  EXPECT_EQ(time, 8.0f);
  musicData[7] = 0.75f;  // a new frame's spectrum reaches a program that already has the old one
  a.draw();
  glGetUniformfv(program, binAt, &bin);
  EXPECT_EQ(bin, 0.75f);
  glGetUniformiv(program, stateAt, &state);
  EXPECT_EQ(state, 3);
  glUseProgram(0);
  currentProgram = 0;
  glDeleteProgram(program);
}

TEST_F(DemoeffectUniforms, ChildrenDoNotLeaveTheirProgramTextureOrColourToTheirParentsGeometry) {
  const GLuint parentProgram = linkProgram(uniformShader);
  const GLuint childProgram = linkProgram(uniformShader);
  GLuint textures[2];
  glGenTextures(2, textures);
  Demoeffect parent;
  Demoeffect child;
  parent.shader = parentProgram;
  parent.texture = textures[0];
  parent.state = 1;
  parent.color[0] = 50;
  child.shader = childProgram;
  child.texture = textures[1];
  child.color[0] = 200;
  parent.addChild(&child);
  parent.draw();

  GLint program = 0;
  GLint texture = 0;
  GLfloat colour[4];
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(static_cast<GLuint>(program), parentProgram);
  EXPECT_EQ(currentProgram, parentProgram);
  EXPECT_EQ(static_cast<GLuint>(texture), textures[0]);
  EXPECT_NEAR(colour[0] * 255.0f, 50.0f, 0.01f);
  glUseProgram(0);
  currentProgram = 0;
  glDeleteProgram(parentProgram);
  glDeleteProgram(childProgram);
  glDeleteTextures(2, textures);
}

}  // namespace
}  // namespace glowmarch
