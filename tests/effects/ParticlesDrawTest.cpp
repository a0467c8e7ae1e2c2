// Particle fields drawn in a real GL context: the draw order, and a picture of a small town.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "effects/Camera.h"
#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/ParticleLayout.h"
#include "effects/Particles.h"
#include "effects/Sphere.h"
#include "resources/ShaderLibrary.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Matrix = std::array<float, 16>;

// Records the model-view matrix it is drawn with.
class Probe : public Demoeffect {
 public:
  std::vector<Matrix> seen;
  void draw() override {
    Demoeffect::draw();
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    seen.push_back(m);
  }
  std::unique_ptr<Demoeffect> clone() const override { return std::make_unique<Probe>(*this); }
};

class ParticlesDraw : public testing::GlTest {
 protected:
  static void say(Demoeffect& target, std::string word) {
    word.push_back('\0');
    target.local(0.0f, word.data());
  }
};

TEST_F(ParticlesDraw, NothingBeforeInitThenTheLayoutComesBeforeTheParticlesAreDrawn) {
  Particles& field = static_cast<Particles&>(*effects.store("field", std::make_unique<Particles>()));
  Probe appended;
  field.addChild(&appended);
  field.transform.deltaPoint[0] = 1.0f;
  frameDelta = 0.5;
  glLoadIdentity();
  field.draw();
  EXPECT_TRUE(appended.seen.empty());
  EXPECT_EQ(field.transform.point[0], 0.0f);  // not even its own placement moves

  Particles& town = static_cast<Particles&>(*effects.store("town", std::make_unique<Particles>()));
  effects.store("probe", std::make_unique<Probe>());
  say(town, "x;2");
  say(town, "y;1");
  say(town, "anim;sine");
  say(town, "init;probe");
  town.transform.point[2] = -5.0f;
  town.transform.deltaPoint[0] = 1.0f;
  musicTime = 0.7;
  glLoadIdentity();
  town.draw();
  ASSERT_EQ(town.children.size(), 2u);
  const auto& left = static_cast<Probe&>(*town.children[0]).seen;
  const auto& right = static_cast<Probe&>(*town.children[1]).seen;
  ASSERT_EQ(left.size(), 1u);
  ASSERT_EQ(right.size(), 1u);
  // The field moved by its own velocity, and the heights are those of this frame's music time.
  EXPECT_NEAR(left[0][12], 0.5f - 1.0f, 1e-6);
  EXPECT_NEAR(right[0][12], 0.5f + 1.0f, 1e-6);
  EXPECT_NEAR(left[0][13], 3.0 * std::sin(0.5 + 2.1), 1e-5);
  EXPECT_NEAR(right[0][13], 3.0 * std::sin(2.1), 1e-5);
  EXPECT_NEAR(right[0][14], -5.0f, 1e-6);
}

// Bright pixels of the frame grouped into 4-connected blobs; returns their centres (GL pixel coordinates).
std::vector<std::array<double, 2>> blobCentres(const std::vector<std::uint8_t>& rgba, int width, int height) {
  std::vector<int> label(static_cast<std::size_t>(width) * height, -1);
  auto bright = [&](int x, int y) { return rgba[(static_cast<std::size_t>(y) * width + x) * 4] > 128; };
  std::vector<std::array<double, 2>> centres;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!bright(x, y) || label[static_cast<std::size_t>(y) * width + x] >= 0) continue;
      const int id = static_cast<int>(centres.size());
      double sumX = 0;
      double sumY = 0;
      int count = 0;
      std::vector<std::array<int, 2>> pending{{x, y}};
      label[static_cast<std::size_t>(y) * width + x] = id;
      while (!pending.empty()) {
        const auto [px, py] = pending.back();
        pending.pop_back();
        sumX += px;
        sumY += py;
        ++count;
        for (const auto& [dx, dy] : {std::array<int, 2>{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int nx = px + dx;
          const int ny = py + dy;
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          int& seen = label[static_cast<std::size_t>(ny) * width + nx];
          if (seen >= 0 || !bright(nx, ny)) continue;
          seen = id;
          pending.push_back({nx, ny});
        }
      }
      centres.push_back({sumX / count, sumY / count});
    }
  }
  return centres;
}

TEST_F(ParticlesDraw, ThreeByThreeTownOfSpheresSeenFromAboveShowsNineBlobs) {
  testing::ScratchFolder folder;
  folder.write("data/shaders/main.vert",
               "#version 330 compatibility\n"
               "in vec3 in_position;\n"
               "void main() { gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0); }\n");
  folder.write("data/shaders/main.frag",
               "#version 330 compatibility\n"
               "out vec4 colour;\n"
               "void main() { colour = vec4(1.0); }\n");
  createShaderProgram("main", "main.vert", "main.frag", "");
  ASSERT_NE(findShaderProgram("main"), 0u);

  Demoeffect& ball = *effects.store("ball", std::make_unique<Sphere>());
  say(ball, "scale;0.5");
  Particles& town = static_cast<Particles&>(*effects.store("town", std::make_unique<Particles>()));
  say(town, "x;3");
  say(town, "y;3");
  say(town, "init;ball");
  ASSERT_EQ(town.children.size(), 9u);

  // Ten units above the origin, looking (almost) straight down: +X is right, -Z is up on the screen.
  Camera camera;
  camera.transform.point[0] = 0.0f;
  camera.transform.point[1] = 10.0f;
  camera.transform.point[2] = 0.0f;
  camera.transform.direction[1] = 0.9999f;
  camera.addChild(&town);
  glLoadIdentity();
  camera.draw();
  glUseProgram(0);
  currentProgram = 0;
  glDisable(GL_LIGHTING);

  const int width = gl().width();
  const int height = gl().height();
  std::vector<std::array<double, 2>> blobs = blobCentres(gl().readAll(), width, height);
  ASSERT_EQ(blobs.size(), 9u);
  // Two units on the ground at ten units' distance, through a 45-degree view.
  const double cell = 2.0 / (10.0 * std::tan(22.5 * std::numbers::pi / 180.0)) * (height / 2.0);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const double x = width / 2.0 - 0.5 + (col - 1) * cell;
      const double y = height / 2.0 - 0.5 - (row - 1) * cell;
      bool found = false;
      for (const auto& blob : blobs) found = found || std::hypot(blob[0] - x, blob[1] - y) < 1.0;
      EXPECT_TRUE(found) << "no blob near column " << col << ", row " << row << " (" << x << ", " << y << ")";
    }
  }
}

}  // namespace
}  // namespace glowmarch
