#include "effects/ParticleLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "effects/FrameValues.h"
#include "effects/Particles.h"

namespace glowmarch {

std::mt19937 particleEngine;

void restartParticleRandom() { particleEngine.seed(std::mt19937::default_seed); }

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;
constexpr std::size_t prefetchDistance = 8;

// A fresh random number as the single-precision value every formula starts from.
float r() { return static_cast<float>(particleRandom()); }

float clampUnit(float value) { return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value); }

void setVector(float* target, float x, float y, float z) {
  target[0] = x;
  target[1] = y;
  target[2] = z;
}

// The thresholds are single-precision constants compared with the double scale, on purpose:
// 0.01f is a little below 0.01, 0.99f a little above 0.99.
bool shrunkAway(const Demoeffect& p) { return p.scale < 0.01f; }
bool grownBack(const Demoeffect& p) { return p.scale > 0.99f; }

struct Cell {
  int col;
  int row;
};

// The field's values for one pass, copied so they stay in registers while the particles are
// written (a particle's colour bytes may alias anything, the field included), with the terms
// that do not change from particle to particle formed once, by the same operations.
struct Pass {
  std::int32_t countX;
  std::int32_t countY;
  float padX;
  float padY;
  std::int32_t anim;
  double time;
  double delta;
  double timer;
  GLuint texture;
  bool handOver;     // the field's rebirthMarks bit
  bool placeStars;   // only while the field is being made
  float rowsBefore;  // countY - 1
  float townOffsetX;
  float townOffsetZ;
  double wavePhase;  // 3.0 x time

  Pass(const Particles& field, double musicTime, double frameDelta)
      : countX(field.countX),
        countY(field.countY),
        padX(field.padX),
        padY(field.padY),
        anim(field.anim),
        time(musicTime),
        delta(frameDelta),
        timer(field.timer),
        texture(field.texture),
        handOver((field.state & Particles::rebirthMarks) != 0),
        placeStars(!field.initialised),
        rowsBefore(static_cast<float>(std::int64_t{field.countY} - 1)),
        townOffsetX(static_cast<float>(std::int64_t{field.countX} - 1) * field.padX * 0.5f),
        townOffsetZ(rowsBefore * field.padY * 0.5f),
        wavePhase(3.0 * musicTime) {}
};

// The sizes are tested first: a particle is rarely at either end of its life, while its state
// is 0 or 1 at random, so this order keeps the branches predictable.
void markRebirth(const Pass& pass, Demoeffect& p) {
  if (shrunkAway(p) && p.state == 0) {
    p.state = 1;
    if (pass.handOver) p.texture = pass.texture;
  }
  if (grownBack(p) && p.state == 1) p.state = 0;
}

void placeTown(const Pass& pass, Cell cell, Demoeffect& p) {
  const float gx = static_cast<float>(cell.col) * pass.padX - pass.townOffsetX;
  const float gz = static_cast<float>(cell.row) * pass.padY - pass.townOffsetZ;
  float h = 0.0f;
  switch (pass.anim) {
    case Particles::none:
      p.scale = 1.0;
      break;
    case Particles::sine:
    case Particles::dinky: {
      // The ripple's centre is the cell at countX div 2, countY div 2: off centre for even counts.
      const double dr = static_cast<double>(cell.row - pass.countY / 2);
      const double dc = static_cast<double>(cell.col - pass.countX / 2);
      const double wave = std::sin(0.5 * std::sqrt(dr * dr + dc * dc) + pass.wavePhase);
      if (pass.anim == Particles::sine) {
        h = static_cast<float>(3.0 * wave);
        p.scale = 1.0;
      } else {
        p.scale = 0.5 * wave + 0.5;
      }
      break;
    }
    default:
      break;
  }
  Transform& t = p.transform;
  if (pass.anim != Particles::burn) {
    setVector(t.point, gx, h, gz);
    return;
  }
  // A fountain: placed only when reborn, then left to fly off on its own deltaPoint while it shrinks.
  if (shrunkAway(p)) {
    setVector(t.point, gx, h, gz);
    const float x = r() / 50.0f - 1.0f;
    const float y = r() / 100.0f;
    const float z = r() / 50.0f - 1.0f;
    setVector(t.deltaPoint, x, y, z);
    p.scale = 1.0;
  }
  p.scale -= (r() / 100.0f) * pass.delta;
  p.color[0] = 0;
  p.color[1] = 0;
  p.color[2] = static_cast<std::uint8_t>(particleRandom());
}

void placeTube(const Pass& pass, Cell cell, Demoeffect& p) {
  float radius = pass.padX;
  float spacing = pass.padY;
  const float rowPhase = static_cast<float>(cell.row) * 0.4f;
  switch (pass.anim) {
    case Particles::sine:
    case Particles::wonk:
      radius = static_cast<float>(2.5 * std::sin(rowPhase + pass.wavePhase) + pass.padX + 2.5);
      if (pass.anim == Particles::wonk) spacing = radius;
      break;
    case Particles::dinky:
      p.scale = 0.5 * std::sin(rowPhase + pass.wavePhase) + 0.5;
      break;
    case Particles::sinepulse: {
      // One row alone has no fraction along the tube: it pulses first, like row 0 of a longer one.
      const float f = pass.countY == 1 ? 0.0f : clampUnit(static_cast<float>(cell.row) / pass.rowsBefore);
      const float lag = static_cast<float>(pass.countY) / 10.0f * f;
      const float bracket = static_cast<float>((pass.time - pass.timer) * 2.0 - lag);
      const float u = clampUnit(bracket / 1.5f);
      radius = static_cast<float>((pass.padX + 2.5) - 2.5 * std::cos(twoPi * u));
      break;
    }
    default:
      break;
  }
  const double theta = cell.col * twoPi / pass.countX;
  const float c = static_cast<float>(cell.col) / static_cast<float>(pass.countX);
  const float x = static_cast<float>(std::sin(theta) * radius);
  const float y = static_cast<float>(-(std::cos(theta) * radius));
  const float z = static_cast<float>(cell.row) * spacing - pass.rowsBefore * spacing * 0.5f;
  Transform& t = p.transform;
  const float d0 = t.direction[0];
  const float d1 = t.direction[1];
  if (pass.anim == Particles::burn) {
    if (shrunkAway(p)) {
      setVector(t.point, x, y, z);
      const float g = r() / 20.0f;
      setVector(t.deltaPoint, d0 * g, d1 * g, c * g);
      p.scale = 1.0;
    }
    p.scale -= (r() / 40.0f) * pass.delta;
  } else {
    setVector(t.point, x, y, z);
  }
  // The roll follows the place on the ring.
  setVector(t.direction, d0, d1, c);
}

void placeStar(const Pass& pass, Demoeffect& p) {
  // Placed once, while the field is being made; later frames leave the cloud alone.
  if (!pass.placeStars) return;
  Transform& t = p.transform;
  const float x = (0.5f - r() / 100.0f) * pass.padX;
  const float y = (0.5f - r() / 100.0f) * pass.padY;
  const float z = (0.5f - r() / 100.0f) * pass.padX;
  setVector(t.point, x, y, z);
  const float d0 = r() / 100.0f;
  const float d1 = r() / 100.0f;
  const float d2 = r() / 100.0f;
  setVector(t.direction, d0, d1, d2);
}

}  // namespace

void layoutParticles(Particles& field, double time, double delta) {
  const std::int64_t total = std::int64_t{field.countX} * field.countY;
  if (total < 1) return;
  const std::size_t count = std::min(field.children.size(), static_cast<std::size_t>(total));
  Demoeffect* const* particles = field.children.data();
  const Pass pass(field, time, delta);
  const std::int32_t type = field.type;
  const bool marks = pass.handOver || pass.anim == Particles::burn;
  // Column and row advance together; a negative countX (both counts negative) needs the division.
  const bool stepping = pass.countX > 0;
  Cell cell{0, 0};
  for (std::size_t i = 0; i < count; ++i) {
    if (!stepping) {
      const std::int64_t index = static_cast<std::int64_t>(i);
      cell = {static_cast<int>(index % pass.countX), static_cast<int>(index / pass.countX)};
    }
    // Particles are scattered over the heap; ask for a later one while this one is worked on.
    if (i + prefetchDistance < count) {
      const Demoeffect* later = particles[i + prefetchDistance];
      __builtin_prefetch(&later->transform.point);
      __builtin_prefetch(&later->scale);
    }
    Demoeffect& p = *particles[i];
    // Marks come before the layout, so a burn particle is marked in the pass that rebirths it.
    if (marks) markRebirth(pass, p);
    switch (type) {
      case Particles::town:
        placeTown(pass, cell, p);
        break;
      case Particles::tube:
        placeTube(pass, cell, p);
        break;
      case Particles::starfield:
        placeStar(pass, p);
        break;
      default:  // spike: the particles stay where their template put them
        break;
    }
    if (stepping && ++cell.col == pass.countX) {
      cell.col = 0;
      ++cell.row;
    }
  }
}

void layoutParticles(Particles& field) { layoutParticles(field, musicTime, frameDelta); }

namespace {

// The objects one copy of `effect` brings into every frame: itself and all it draws below it,
// counted per path (a child appended twice counts twice). Counting stops once past `limit`.
std::int64_t drawnObjects(const Demoeffect& effect, std::int64_t limit) {
  std::int64_t count = 1;
  for (const Demoeffect* child : effect.children) {
    if (count > limit) break;
    count += drawnObjects(*child, limit - count);
  }
  return count;
}

}  // namespace

void initParticles(Particles& field, const Demoeffect& model) {
  if (field.initialised) return;
  const std::int64_t total = std::int64_t{field.countY} * field.countX;
  if (total > Particles::maxParticles) {
    std::printf("Can't make %lld particles: at most %lld\n", static_cast<long long>(total),
                static_cast<long long>(Particles::maxParticles));
    return;
  }
  // A field of fields (or of a group that holds one) multiplies: each copy carries its own
  // children list and draws everything below it, so the limit is on objects, not on copies.
  const std::int64_t each = drawnObjects(model, Particles::maxParticles);
  if (total > 0 && each > Particles::maxParticles) {
    std::printf("Can't make %lld particles: each would draw more than %lld objects\n", static_cast<long long>(total),
                static_cast<long long>(Particles::maxParticles));
    return;
  }
  if (total > Particles::maxParticles / each) {
    std::printf("Can't make %lld particles of %lld objects each: at most %lld objects\n",
                static_cast<long long>(total), static_cast<long long>(each),
                static_cast<long long>(Particles::maxParticles));
    return;
  }
  for (std::int64_t i = 0; i < total; ++i) field.adoptParticle(model.clone());
  layoutParticles(field);
  field.initialised = true;
}

}  // namespace glowmarch
