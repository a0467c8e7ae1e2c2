// Particle fields without GL: parameters, the four layouts and six animations, rebirth marks,
// the shared random engine and who destroys the particles.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/ParticleLayout.h"
#include "effects/Particles.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr double degree = std::numbers::pi / 180.0;

class ParticleField : public ::testing::Test {
 protected:
  void SetUp() override {
    effects.clear();
    resetFrameValues();
    restartParticleRandom();
  }
  void TearDown() override {
    effects.clear();
    resetFrameValues();
  }

  // A registered template the fields can copy.
  Demoeffect& model(const char* name = "dot") {
    return *effects.store(name, std::make_unique<Demoeffect>());
  }

  Particles& field(const char* name = "field") {
    return static_cast<Particles&>(*effects.store(name, std::make_unique<Particles>()));
  }

  // The script's "local" word, writable as the interpreter hands it over; returns what was printed.
  static std::string say(Demoeffect& target, const std::string& word, float time = 0.0f) {
    std::vector<char> text(word.begin(), word.end());
    text.push_back('\0');
    CaptureStdout();
    target.local(time, text.data());
    std::fflush(stdout);
    return GetCapturedStdout();
  }

  static const float* point(const Particles& f, std::size_t i) { return f.children.at(i)->transform.point; }
};

TEST_F(ParticleField, RandomSequenceStartsWith53_20_50CoversZeroToHundredAndRestarts) {
  EXPECT_EQ(particleRandom(), 53);
  EXPECT_EQ(particleRandom(), 20);
  EXPECT_EQ(particleRandom(), 50);
  std::array<int, 101> seen{};
  for (int i = 0; i < 101 * 300; ++i) {
    const int value = particleRandom();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 100);
    ++seen[static_cast<std::size_t>(value)];
  }
  for (int value = 0; value <= 100; ++value) EXPECT_GT(seen[static_cast<std::size_t>(value)], 200) << value;
  restartParticleRandom();
  EXPECT_EQ(particleRandom(), 53);
  EXPECT_EQ(particleRandom(), 20);
}

TEST_F(ParticleField, DefaultFieldIsATenByTenTownTwoApartCentredOnTheOrigin) {
  Demoeffect& dot = model();
  dot.scale = 0.25;
  dot.transform.point[1] = 5.0f;
  Particles& f = field();
  EXPECT_EQ(f.countX, 10);
  EXPECT_EQ(f.countY, 10);
  EXPECT_EQ(f.padX, 2.0f);
  EXPECT_EQ(f.padY, 2.0f);
  EXPECT_EQ(f.type, Particles::town);
  EXPECT_EQ(f.anim, Particles::none);
  EXPECT_EQ(f.shader, 0u);
  EXPECT_FALSE(f.initialised);

  EXPECT_EQ(say(f, "init;dot"), "");
  ASSERT_TRUE(f.initialised);
  ASSERT_EQ(f.children.size(), 100u);
  std::set<const Demoeffect*> distinct(f.children.begin(), f.children.end());
  EXPECT_EQ(distinct.size(), 100u);
  EXPECT_EQ(distinct.count(&dot), 0u);
  for (std::size_t i = 0; i < 100; ++i) {
    const float* p = point(f, i);
    EXPECT_EQ(p[0], -9.0f + 2.0f * static_cast<float>(i % 10)) << i;
    EXPECT_EQ(p[1], 0.0f) << i;
    EXPECT_EQ(p[2], -9.0f + 2.0f * static_cast<float>(i / 10)) << i;
    EXPECT_EQ(f.children[i]->scale, 1.0) << i;
  }
  // The template itself is untouched.
  EXPECT_EQ(dot.scale, 0.25);
  EXPECT_EQ(dot.transform.point[1], 5.0f);
}

TEST_F(ParticleField, TownRippleCentresOnTheMiddleCellForSineAndDinky) {
  model();
  Particles& f = field();
  say(f, "anim;sine");
  say(f, "init;dot");
  f.children[55]->scale = 0.3;
  layoutParticles(f, 0.3, 0.0);
  // Even counts put the centre half a cell off the middle: column 5, row 5, at x = z = 1.
  EXPECT_EQ(point(f, 55)[0], 1.0f);
  EXPECT_EQ(point(f, 55)[2], 1.0f);
  EXPECT_NEAR(point(f, 55)[1], 3.0 * std::sin(0.9), 1e-6);
  EXPECT_EQ(f.children[55]->scale, 1.0);
  for (std::size_t ring : {54u, 56u, 45u, 65u}) EXPECT_NEAR(point(f, ring)[1], 3.0 * std::sin(1.4), 1e-6) << ring;
  EXPECT_NEAR(point(f, 0)[1], 3.0 * std::sin(0.5 * std::sqrt(50.0) + 0.9), 1e-6);
  EXPECT_NEAR(point(f, 99)[1], 3.0 * std::sin(0.5 * std::sqrt(32.0) + 0.9), 1e-6);

  say(f, "anim;dinky");
  layoutParticles(f, 0.3, 0.0);
  EXPECT_EQ(point(f, 55)[1], 0.0f);
  EXPECT_NEAR(f.children[55]->scale, 0.5 * std::sin(0.9) + 0.5, 1e-12);
  EXPECT_NEAR(f.children[54]->scale, 0.5 * std::sin(1.4) + 0.5, 1e-12);

  // Odd counts centre it on the middle cell itself.
  Particles& odd = field("odd");
  say(odd, "x;5");
  say(odd, "y;3");
  say(odd, "anim;sine");
  say(odd, "init;dot");
  layoutParticles(odd, 0.3, 0.0);
  EXPECT_EQ(point(odd, 7)[0], 0.0f);
  EXPECT_EQ(point(odd, 7)[2], 0.0f);
  EXPECT_NEAR(point(odd, 7)[1], 3.0 * std::sin(0.9), 1e-6);
  EXPECT_NEAR(point(odd, 0)[1], 3.0 * std::sin(0.5 * std::sqrt(5.0) + 0.9), 1e-6);

  // The other animations leave a town flat and its sizes alone.
  say(f, "anim;wonk");
  layoutParticles(f, 0.3, 0.0);
  EXPECT_EQ(point(f, 55)[1], 0.0f);
  EXPECT_NEAR(f.children[55]->scale, 0.5 * std::sin(0.9) + 0.5, 1e-12);
}

TEST_F(ParticleField, TubeRingStartsBelowTheAxisAndEachColumnRollsByItsFraction) {
  Demoeffect& dot = model();
  dot.transform.direction[0] = 0.2f;
  dot.transform.direction[1] = 0.7f;
  dot.transform.direction[2] = 0.9f;
  Particles& f = field();
  say(f, "type;tube");
  say(f, "padx;3");
  say(f, "pady;1.5");
  say(f, "y;4");
  say(f, "init;dot");
  ASSERT_EQ(f.children.size(), 40u);

  EXPECT_NEAR(point(f, 0)[0], 0.0f, 1e-6);
  EXPECT_NEAR(point(f, 0)[1], -3.0f, 1e-6);
  EXPECT_NEAR(point(f, 0)[2], -2.25f, 1e-6);
  EXPECT_NEAR(point(f, 1)[0], 3.0 * std::sin(36 * degree), 1e-6);
  EXPECT_NEAR(point(f, 1)[1], -3.0 * std::cos(36 * degree), 1e-6);
  EXPECT_NEAR(point(f, 5)[1], 3.0f, 1e-6);
  EXPECT_NEAR(point(f, 12)[0], 3.0 * std::sin(72 * degree), 1e-6);
  EXPECT_NEAR(point(f, 12)[2], -0.75f, 1e-6);
  for (std::size_t i = 0; i < 40; ++i) {
    const float* d = f.children[i]->transform.direction;
    EXPECT_EQ(d[0], 0.2f) << i;
    EXPECT_EQ(d[1], 0.7f) << i;
    EXPECT_EQ(d[2], static_cast<float>(i % 10) / 10.0f) << i;
    EXPECT_NEAR(std::hypot(point(f, i)[0], point(f, i)[1]), 3.0, 1e-5) << i;
  }

  // sine swells each row's radius; wonk also spaces the rows by it.
  const double t = 0.25;
  auto radius = [&](int row) { return 2.5 * std::sin(row * 0.4 + 3.0 * t) + 3.0 + 2.5; };
  say(f, "anim;sine");
  layoutParticles(f, t, 0.0);
  EXPECT_NEAR(point(f, 20)[1], -radius(2), 1e-5);
  EXPECT_NEAR(point(f, 20)[2], 2 * 1.5 - 2.25, 1e-6);
  say(f, "anim;wonk");
  layoutParticles(f, t, 0.0);
  EXPECT_NEAR(point(f, 20)[1], -radius(2), 1e-5);
  EXPECT_NEAR(point(f, 20)[2], 2 * radius(2) - 3 * radius(2) * 0.5, 1e-5);
  EXPECT_NEAR(point(f, 30)[2], 3 * radius(3) - 3 * radius(3) * 0.5, 1e-5);
  EXPECT_EQ(f.padX, 3.0f);
  EXPECT_EQ(f.padY, 1.5f);
  say(f, "anim;dinky");
  layoutParticles(f, t, 0.0);
  EXPECT_NEAR(point(f, 20)[1], -3.0f, 1e-6);
  EXPECT_NEAR(f.children[20]->scale, 0.5 * std::sin(0.8 + 0.75) + 0.5, 1e-6);
}

TEST_F(ParticleField, SinepulseSwellsEachRowInTurnFromTheLinesTimeStamp) {
  model();
  Particles& f = field();
  say(f, "type;tube");
  say(f, "padx;1");
  say(f, "x;4");
  say(f, "anim;sinepulse", 10.0f);
  EXPECT_EQ(f.timer, 10.0);
  say(f, "init;dot");
  // The radius of a row, read from its column 0 at (0, -R).
  auto radiusAt = [&](int row, double time) {
    layoutParticles(f, time, 0.0);
    return -point(f, static_cast<std::size_t>(row) * 4)[1];
  };
  // Row r of ten starts r / 18 s after the line's time (the last one 10 / 20 s later) and lasts 0.75 s.
  for (int row : {0, 3, 9}) {
    const double start = 10.0 + row / 18.0;
    EXPECT_NEAR(radiusAt(row, start - 0.01), 1.0f, 1e-5) << row;
    EXPECT_GT(radiusAt(row, start + 0.05), 1.05f) << row;
    EXPECT_NEAR(radiusAt(row, start + 0.375), 6.0f, 1e-4) << row;
    EXPECT_NEAR(radiusAt(row, start + 0.75), 1.0f, 1e-4) << row;
    EXPECT_NEAR(radiusAt(row, start + 2.0), 1.0f, 1e-5) << row;
  }
  EXPECT_NEAR(radiusAt(9, 10.375), 1.0f, 1e-5);  // row 0 is at its widest, the last row still waits

  // A single row has no fraction along the tube: it pulses at once, with a finite radius.
  Particles& single = field("single");
  say(single, "type;tube");
  say(single, "padx;1");
  say(single, "y;1");
  say(single, "anim;sinepulse", 4.0f);
  say(single, "init;dot");
  layoutParticles(single, 4.375, 0.0);
  for (std::size_t i = 0; i < single.children.size(); ++i) {
    ASSERT_TRUE(std::isfinite(point(single, i)[0]));
    EXPECT_NEAR(std::hypot(point(single, i)[0], point(single, i)[1]), 6.0, 1e-4);
  }
}

TEST_F(ParticleField, StarfieldStaysWithinHalfItsPadsAndNeverMovesAgain) {
  model();
  Particles& f = field();
  say(f, "type;starfield");
  say(f, "padx;4");
  say(f, "pady;6");
  say(f, "init;dot");
  ASSERT_EQ(f.children.size(), 100u);
  // The first particle takes the first six numbers of the show: 53, 20, 50, then 22, 63, 43.
  EXPECT_NEAR(point(f, 0)[0], (0.5 - 0.53) * 4, 1e-6);
  EXPECT_NEAR(point(f, 0)[1], (0.5 - 0.20) * 6, 1e-6);
  EXPECT_NEAR(point(f, 0)[2], 0.0, 1e-6);
  EXPECT_NEAR(f.children[0]->transform.direction[0], 0.22, 1e-6);
  EXPECT_NEAR(f.children[0]->transform.direction[1], 0.63, 1e-6);
  EXPECT_NEAR(f.children[0]->transform.direction[2], 0.43, 1e-6);
  std::vector<std::array<float, 6>> placed;
  for (const Demoeffect* p : f.children) {
    const float* at = p->transform.point;
    const float* d = p->transform.direction;
    EXPECT_LE(std::abs(at[0]), 2.0f);
    EXPECT_LE(std::abs(at[1]), 3.0f);
    EXPECT_LE(std::abs(at[2]), 2.0f);
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(d[k] >= 0.0f && d[k] <= 1.0f);
    placed.push_back({at[0], at[1], at[2], d[0], d[1], d[2]});
  }
  const std::mt19937 engineBefore = particleEngine;
  for (double t : {0.5, 1.0, 7.25}) layoutParticles(f, t, 0.1);
  EXPECT_EQ(particleEngine, engineBefore);  // no draws after the cloud is made
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const float* at = point(f, i);
    const float* d = f.children[i]->transform.direction;
    EXPECT_EQ((std::array<float, 6>{at[0], at[1], at[2], d[0], d[1], d[2]}), placed[i]) << i;
  }
}

TEST_F(ParticleField, SpikeLeavesEveryParticleWhereItsTemplateWas) {
  Demoeffect& dot = model();
  dot.transform.point[0] = 4.0f;
  dot.transform.direction[2] = 0.3f;
  Particles& f = field();
  say(f, "type;spike");
  say(f, "init;dot");
  layoutParticles(f, 2.0, 0.1);
  for (std::size_t i = 0; i < f.children.size(); ++i) {
    EXPECT_EQ(point(f, i)[0], 4.0f);
    EXPECT_EQ(f.children[i]->transform.direction[2], 0.3f);
  }
}

TEST_F(ParticleField, MarkedFieldHandsItsTextureOnWaveByWave) {
  model();
  Particles& f = field();
  say(f, "anim;dinky");
  f.state |= Particles::rebirthMarks;
  say(f, "init;dot");
  f.texture = 7;  // given after the particles exist: it must spread as they shrink away
  std::vector<int> takenAt(100, -1);
  std::vector<int> unmarked(100, 0);
  const double step = 0.01;
  // Two periods of the wave, so every particle is marked and unmarked at least once.
  for (int pass = 1; pass <= 440; ++pass) {
    std::vector<double> scaleBefore;
    std::vector<std::int32_t> stateBefore;
    std::vector<GLuint> textureBefore;
    for (const Demoeffect* p : f.children) {
      scaleBefore.push_back(p->scale);
      stateBefore.push_back(p->state);
      textureBefore.push_back(p->texture);
    }
    layoutParticles(f, pass * step, step);
    for (std::size_t i = 0; i < 100; ++i) {
      const Demoeffect& p = *f.children[i];
      // Marks look at the size the previous pass left.
      const bool shrunk = scaleBefore[i] < 0.01f;
      const std::int32_t expected = stateBefore[i] == 0 ? (shrunk ? 1 : 0) : (scaleBefore[i] > 0.99f ? 0 : 1);
      EXPECT_EQ(p.state, expected) << i << " pass " << pass;
      if (stateBefore[i] == 1 && p.state == 0) ++unmarked[i];
      if (p.texture != textureBefore[i]) {
        EXPECT_TRUE(shrunk && stateBefore[i] == 0) << i << " pass " << pass;
        EXPECT_EQ(p.texture, 7u);
        takenAt[i] = pass;
      }
    }
  }
  std::set<int> waves;
  for (std::size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(f.children[i]->texture, 7u) << i;
    EXPECT_GE(unmarked[i], 1) << i;
    waves.insert(takenAt[i]);
  }
  // Cells equally far from the ripple's centre take it in the same pass; nearer and farther ones do not.
  EXPECT_EQ(takenAt[54], takenAt[56]);
  EXPECT_EQ(takenAt[45], takenAt[65]);
  EXPECT_EQ(takenAt[54], takenAt[45]);
  EXPECT_NE(takenAt[55], takenAt[54]);
  EXPECT_NE(takenAt[55], takenAt[0]);
  EXPECT_GT(waves.size(), 5u);

  // Without the bit, dinky marks nothing and hands nothing on.
  Particles& plain = field("plain");
  say(plain, "anim;dinky");
  say(plain, "init;dot");
  plain.texture = 9;
  for (int pass = 1; pass <= 220; ++pass) layoutParticles(plain, pass * step, step);
  for (const Demoeffect* p : plain.children) {
    EXPECT_EQ(p->state, 0);
    EXPECT_EQ(p->texture, 0u);
  }
}

TEST_F(ParticleField, TownBurnShrinksByRandomStepsAndIsRebornAtItsCell) {
  Demoeffect& spark = model("spark");
  spark.scale = 0.005;  // found shrunk away at once: the first pass is a rebirth with known numbers
  spark.transform.point[0] = 40.0f;
  Particles& f = field();
  say(f, "x;2");
  say(f, "y;1");
  say(f, "anim;burn");
  frameDelta = 0.1;
  say(f, "init;spark");
  ASSERT_EQ(f.children.size(), 2u);
  Demoeffect& first = *f.children[0];
  EXPECT_EQ(first.state, 1);  // burn marks rebirths even without the field's bit
  EXPECT_EQ((std::array<float, 3>{first.transform.point[0], first.transform.point[1], first.transform.point[2]}),
            (std::array<float, 3>{-1.0f, 0.0f, 0.0f}));
  EXPECT_NEAR(first.transform.deltaPoint[0], 53 / 50.0 - 1, 1e-6);
  EXPECT_NEAR(first.transform.deltaPoint[1], 20 / 100.0, 1e-6);
  EXPECT_NEAR(first.transform.deltaPoint[2], 50 / 50.0 - 1, 1e-6);
  EXPECT_NEAR(first.scale, 1.0 - 0.22 * 0.1, 1e-7);
  EXPECT_EQ(first.color[0], 0);
  EXPECT_EQ(first.color[1], 0);
  EXPECT_EQ(first.color[2], 63);
  EXPECT_EQ(first.color[3], 255);
  EXPECT_EQ(f.children[1]->transform.point[0], 1.0f);

  // Fly, shrink, be reborn: the particle's own transform moves it between rebirths, as its draw would.
  int rebirths = 0;
  double time = 0.0;
  for (int pass = 0; pass < 400; ++pass) {
    time += 0.1;
    const double before = first.scale;
    layoutParticles(f, time, 0.1);
    const double shrink = 1.0 - first.scale;
    if (before < 0.01f) {
      ++rebirths;
      EXPECT_EQ(first.transform.point[0], -1.0f);
      EXPECT_EQ(first.transform.point[1], 0.0f);
      EXPECT_EQ(first.transform.point[2], 0.0f);
      EXPECT_GE(shrink, 0.0);
      EXPECT_LE(shrink, 0.1 + 1e-9);
      const float* v = first.transform.deltaPoint;
      EXPECT_TRUE(v[0] >= -1.0f && v[0] <= 1.0f && v[1] >= 0.0f && v[1] <= 1.0f && v[2] >= -1.0f && v[2] <= 1.0f);
      EXPECT_EQ(first.state, 1);
    } else {
      EXPECT_LE(first.scale, before);
      EXPECT_GE(first.scale, before - 0.1 - 1e-9);
    }
    EXPECT_LE(first.color[2], 100);
    EXPECT_EQ(first.color[3], 255);
    first.transform.advance(time, 0.1);
  }
  EXPECT_GE(rebirths, 5);
}

TEST_F(ParticleField, TubeBurnLaunchesAlongTheParticlesTurnAndItsPlaceOnTheRing) {
  Demoeffect& spark = model("spark");
  spark.scale = 0.005;
  Particles& f = field();
  say(f, "type;tube");
  say(f, "x;2");
  say(f, "y;1");
  say(f, "anim;burn");
  frameDelta = 0.1;
  say(f, "init;spark");
  const Demoeffect& a = *f.children[0];
  const Demoeffect& b = *f.children[1];
  // Numbers 53 and 20 for the first, 50 and 22 for the second.
  EXPECT_NEAR(a.transform.deltaPoint[0], 0.5 * 2.65, 1e-6);
  EXPECT_NEAR(a.transform.deltaPoint[1], 0.5 * 2.65, 1e-6);
  EXPECT_NEAR(a.transform.deltaPoint[2], 0.0, 1e-6);
  EXPECT_NEAR(a.scale, 1.0 - 0.5 * 0.1, 1e-7);
  EXPECT_NEAR(b.transform.deltaPoint[2], 0.5 * 2.5, 1e-6);
  EXPECT_NEAR(b.scale, 1.0 - 0.55 * 0.1, 1e-7);
  EXPECT_NEAR(b.transform.point[1], 2.0f, 1e-6);
  EXPECT_EQ(b.transform.direction[2], 0.5f);
  EXPECT_EQ(b.color[2], 255);  // tube fountains keep their colour
}

TEST_F(ParticleField, SecondInitIsIgnoredAndNewCountsOnlyRemapTheGrid) {
  model("dot").color[0] = 1;
  model("other").color[0] = 2;
  Particles& f = field();
  say(f, "init;dot");
  say(f, "init;other");
  ASSERT_EQ(f.children.size(), 100u);
  for (const Demoeffect* p : f.children) EXPECT_EQ(p->color[0], 1);

  say(f, "x;20");
  layoutParticles(f, 0.0, 0.0);
  ASSERT_EQ(f.children.size(), 100u);
  EXPECT_EQ(point(f, 15)[0], 11.0f);  // column 15 of 20, row 0
  EXPECT_EQ(point(f, 15)[2], -9.0f);
  EXPECT_EQ(point(f, 25)[0], -9.0f);  // column 5, row 1
  EXPECT_EQ(point(f, 25)[2], -7.0f);

  // No particles: nothing to lay out, nothing divided by zero.
  say(f, "x;0");
  layoutParticles(f, 0.0, 0.0);
  EXPECT_EQ(point(f, 25)[0], -9.0f);
}

TEST_F(ParticleField, ChildrenAppendedBeforeInitAreTheFirstParticles) {
  Demoeffect& a = model("a");
  Demoeffect& b = model("b");
  Demoeffect& dot = model();
  dot.transform.point[1] = 5.0f;
  Particles& f = field();
  f.addChild(&a);
  f.addChild(&b);
  say(f, "x;2");
  say(f, "y;2");
  say(f, "init;dot");
  ASSERT_EQ(f.children.size(), 6u);
  EXPECT_EQ(f.children[0], &a);
  EXPECT_EQ(f.children[1], &b);
  EXPECT_EQ(a.transform.point[0], -1.0f);
  EXPECT_EQ(a.transform.point[2], -1.0f);
  EXPECT_EQ(b.transform.point[0], 1.0f);
  EXPECT_EQ(point(f, 2)[2], 1.0f);
  EXPECT_EQ(point(f, 3)[0], 1.0f);
  // The clones beyond countX x countY stay where the template was.
  EXPECT_EQ(point(f, 4)[1], 5.0f);
  EXPECT_EQ(point(f, 5)[1], 5.0f);
  // TearDown's restart destroys a and b through the registry only; the sanitizer build catches a second delete.
}

TEST_F(ParticleField, ParametersReadTheirValuesAndIgnoreWhatTheyCannotUse) {
  model();
  Particles& f = field();
  EXPECT_EQ(say(f, "x;abc"), "");
  EXPECT_EQ(f.countX, 0);
  say(f, "x;3junk");
  EXPECT_EQ(f.countX, 3);
  say(f, "pady;1.5e1");
  EXPECT_EQ(f.padY, 15.0f);
  say(f, "padx;0.1");
  EXPECT_EQ(f.padX, 0.1f);
  EXPECT_EQ(say(f, "type;cube"), "");
  EXPECT_EQ(say(f, "anim;spin"), "");
  EXPECT_EQ(say(f, "type;Tube"), "");
  EXPECT_EQ(f.type, Particles::town);
  EXPECT_EQ(f.anim, Particles::none);
  // Words with no value: nothing to read, nothing said.
  EXPECT_EQ(say(f, "x"), "");
  EXPECT_EQ(say(f, "init"), "");
  EXPECT_EQ(f.countX, 3);
  EXPECT_EQ(say(f, "speed;3"), "failed local: speed 3");
  EXPECT_EQ(say(f, "Init;dot"), "failed local: Init dot");
  EXPECT_FALSE(f.initialised);
  EXPECT_EQ(f.timer, 0.0);
  say(f, "anim;sine", 8.0f);
  EXPECT_EQ(f.timer, 0.0);  // only the pulse takes the line's time
  EXPECT_TRUE(f.children.empty());

  // Two negative counts multiply to a positive number of particles; every layout stays finite.
  say(f, "x;-2");
  say(f, "y;-3");
  say(f, "init;dot");
  ASSERT_EQ(f.children.size(), 6u);
  for (const char* type : {"type;town", "type;tube"}) {
    say(f, type);
    for (const char* anim : {"anim;sine", "anim;sinepulse", "anim;wonk", "anim;burn"}) {
      say(f, anim);
      layoutParticles(f, 1.5, 0.1);
      for (std::size_t i = 0; i < 6; ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::isfinite(point(f, i)[k])) << type << " " << anim << " " << i;
      }
    }
  }
}

TEST_F(ParticleField, InitWithoutAUsableTemplateSaysSoOnceAndChangesNothing) {
  Particles& f = field();
  const std::size_t names = effects.size();
  EXPECT_EQ(say(f, "init;ghost"), "No effect named ghost to make particles of\n");
  EXPECT_FALSE(effects.contains("ghost"));
  EXPECT_EQ(effects.size(), names);
  effects.store("empty", nullptr);  // what "new" with an unknown type leaves
  EXPECT_EQ(say(f, "init;empty"), "No effect named empty to make particles of\n");
  // A template that holds the field would make every particle draw the field again, forever.
  EXPECT_EQ(say(f, "init;field"), "Can't make particles of field: it contains this particle field\n");
  Demoeffect& group = model("group");
  group.addChild(&f);
  EXPECT_EQ(say(f, "init;group"), "Can't make particles of group: it contains this particle field\n");
  EXPECT_FALSE(f.initialised);
  EXPECT_TRUE(f.children.empty());

  say(f, "x;100000");
  say(f, "y;100000");
  model();
  EXPECT_EQ(say(f, "init;dot"), "Can't make 10000000000 particles: at most 1048576\n");
  EXPECT_FALSE(f.initialised);
  // A usable one afterwards still works.
  say(f, "x;3");
  say(f, "y;2");
  EXPECT_EQ(say(f, "init;dot"), "");
  EXPECT_TRUE(f.initialised);
  EXPECT_EQ(f.children.size(), 6u);
}

TEST_F(ParticleField, AFieldOfFieldsIsLimitedByTheObjectsItsParticlesBring) {
  // Each particle of a field of fields copies the inner field's particle list and draws all of
  // it: 64 x 64 copies of a million-particle field asked for 32 GB before drawing anything.
  model();
  Particles& inner = field("inner");
  say(inner, "x;1024");
  say(inner, "y;1");
  EXPECT_EQ(say(inner, "init;dot"), "");
  Particles& outer = field("outer");
  say(outer, "x;1024");
  say(outer, "y;1");
  EXPECT_EQ(say(outer, "init;inner"), "Can't make 1024 particles of 1025 objects each: at most 1048576 objects\n");
  EXPECT_FALSE(outer.initialised);
  EXPECT_TRUE(outer.children.empty());
  say(outer, "x;1023");  // 1023 x 1025 objects fit
  EXPECT_EQ(say(outer, "init;inner"), "");
  EXPECT_EQ(outer.children.size(), 1023u);

  // A group that holds the same child twice draws it twice, at every level: 21 objects that
  // draw two million.
  Demoeffect* level = &model("level0");
  for (int i = 1; i <= 20; ++i) {
    Demoeffect& next = model(("level" + std::to_string(i)).c_str());
    next.addChild(level);
    next.addChild(level);
    level = &next;
  }
  Particles& one = field("one");
  say(one, "x;1");
  say(one, "y;1");
  EXPECT_EQ(say(one, "init;level20"), "Can't make 1 particles: each would draw more than 1048576 objects\n");
  EXPECT_EQ(say(one, "init;level19"), "");
}

// Counts the objects alive, to see each particle destroyed exactly once.
class Counted : public Demoeffect {
 public:
  static inline int alive = 0;
  Counted() { ++alive; }
  Counted(const Counted& other) : Demoeffect(other) { ++alive; }
  ~Counted() override { --alive; }
  std::unique_ptr<Demoeffect> clone() const override { return std::make_unique<Counted>(*this); }
};

TEST_F(ParticleField, AFieldAndItsInitialisedCopiesDestroyTheirParticlesOnce) {
  Counted::alive = 0;
  {
    Counted spark;
    Counted appended;
    auto original = std::make_unique<Particles>();
    original->countX = 2;
    original->countY = 2;
    original->addChild(&appended);
    auto early = original->clone();  // before init: a field of its own
    initParticles(*original, spark);
    EXPECT_EQ(Counted::alive, 6);
    auto copy = original->clone();
    ASSERT_EQ(copy->children, original->children);
    EXPECT_TRUE(static_cast<Particles&>(*copy).initialised);
    original.reset();
    EXPECT_EQ(Counted::alive, 6);  // the copy still draws them
    layoutParticles(static_cast<Particles&>(*copy), 1.0, 0.1);
    copy.reset();
    EXPECT_EQ(Counted::alive, 2);  // the template and the appended child are not the field's
    initParticles(static_cast<Particles&>(*early), spark);
    EXPECT_EQ(early->children.size(), 5u);
    EXPECT_EQ(Counted::alive, 6);
  }
  EXPECT_EQ(Counted::alive, 0);

  // A restart empties the registry: fields, their copies and every particle go exactly once.
  effects.store("spark", std::make_unique<Counted>());
  Particles& f = field();
  say(f, "x;3");
  say(f, "y;3");
  say(f, "init;spark");
  effects.store("copy", f.clone());
  Particles& outer = field("outer");
  say(outer, "x;2");
  say(outer, "y;1");
  say(outer, "init;field");  // particles that are themselves copies of an initialised field
  EXPECT_EQ(Counted::alive, 10);
  effects.clear();
  EXPECT_EQ(Counted::alive, 0);
}

}  // namespace
}  // namespace glowmarch
