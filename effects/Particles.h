// A scene object that multiplies a named template into a field of particles and lays them out every
// frame: a flat grid, a tube, a still random cloud, or just as the template left them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/Demoeffect.h"

namespace glowmarch {

class Particles : public Demoeffect {
 public:
  // Values of `type`.
  static constexpr std::int32_t town = 0;
  static constexpr std::int32_t tube = 1;
  static constexpr std::int32_t spike = 2;
  static constexpr std::int32_t starfield = 4;
  // Values of `anim`.
  static constexpr std::int32_t none = 1;
  static constexpr std::int32_t sine = 2;
  static constexpr std::int32_t sinepulse = 4;
  static constexpr std::int32_t wonk = 8;
  static constexpr std::int32_t dinky = 16;
  static constexpr std::int32_t burn = 64;
  // The bit of the field's own `state` that marks rebirths and hands its texture to reborn particles.
  static constexpr std::int32_t rebirthMarks = 32;
  // More particles than any frame could draw; a script asking for more is refused, not obeyed
  // until memory runs out.
  static constexpr std::int64_t maxParticles = std::int64_t{1} << 20;

  std::int32_t countX = 10;
  std::int32_t countY = 10;
  float padX = 2.0f;  // column spacing; tube radius; cloud width and depth
  float padY = 2.0f;  // row spacing; cloud height
  std::int32_t type = town;
  std::int32_t anim = none;
  bool initialised = false;

  Particles() = default;
  // An initialised copy refers to the same particles and shares their ownership.
  Particles(const Particles& other);
  ~Particles() override;

  std::unique_ptr<Demoeffect> clone() const override;
  // Nothing at all until "init"; then the layout, then the field's own step. The common draw then
  // draws the particles.
  bool advance() override;
  // "init;name", "x;n", "y;n", "padx;f", "pady;f", "type;word", "anim;word".
  void local(float time, char* text) override;
  static std::vector<LocalWord> localWords();

  // Appends a particle this field made to `children`; the field keeps it alive.
  void adoptParticle(std::unique_ptr<Demoeffect> particle);

 private:
  // Only the clones the field made: children appended by the script belong to the registry.
  // Shared with initialised copies, so each particle is destroyed once, with the last of them.
  std::shared_ptr<std::vector<std::unique_ptr<Demoeffect>>> madeParticles;
};

}  // namespace glowmarch
