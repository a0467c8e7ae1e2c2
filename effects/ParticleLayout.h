// Where a particle field puts its particles: plain arithmetic over the particles' fields and the
// clock, and the field's own random numbers. No GL is touched, so all of it runs in plain tests.
#pragma once

#include <cstdint>
#include <random>

namespace glowmarch {

class Demoeffect;
class Particles;

// One engine for every particle field, so a show draws the same numbers on every run.
extern std::mt19937 particleEngine;

// 0 to 100 inclusive, each equally likely.
inline int particleRandom() {
  // 101 * 42524428: outputs at and above it would favour the low values.
  constexpr std::uint32_t limit = 4294967228u;
  std::uint32_t x;
  do {
    x = static_cast<std::uint32_t>(particleEngine());
  } while (x >= limit);
  return static_cast<int>(x % 101u);
}

// Puts the engine back to its start-up state (tests; a restarted show).
void restartParticleRandom();

// Clones `model` countY x countX times into the field's children, lays them out once and marks
// the field initialised. A second call does nothing.
void initParticles(Particles& field, const Demoeffect& model);

// Places and animates the first countX x countY children for music time `time`, `delta` seconds
// after the previous frame. Allocates nothing.
void layoutParticles(Particles& field, double time, double delta);
// The same at the frame loop's current musicTime and frameDelta.
void layoutParticles(Particles& field);

}  // namespace glowmarch
