#include "effects/Particles.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "effects/EffectRegistry.h"
#include "effects/LocalParameter.h"
#include "effects/ParticleLayout.h"

namespace glowmarch {

namespace {

struct NamedValue {
  std::string_view name;
  std::int32_t value;
};

constexpr NamedValue typeWords[] = {
    {"town", Particles::town},
    {"tube", Particles::tube},
    {"spike", Particles::spike},
    {"starfield", Particles::starfield},
};

constexpr NamedValue animWords[] = {
    {"none", Particles::none}, {"sine", Particles::sine}, {"wonk", Particles::wonk},
    {"dinky", Particles::dinky}, {"burn", Particles::burn}, {"sinepulse", Particles::sinepulse},
};

// Unknown words leave the value as it was, silently.
template <std::size_t size>
std::optional<std::int32_t> lookUp(const NamedValue (&table)[size], std::string_view word) {
  for (const NamedValue& entry : table) {
    if (entry.name == word) return entry.value;
  }
  return std::nullopt;
}

}  // namespace

Particles::Particles(const Particles& other)
    : Demoeffect(other),
      countX(other.countX),
      countY(other.countY),
      padX(other.padX),
      padY(other.padY),
      type(other.type),
      anim(other.anim),
      initialised(other.initialised),
      // A copy made before "init" has no particles of its own to share.
      madeParticles(other.initialised ? other.madeParticles : nullptr) {}

Particles::~Particles() = default;

std::unique_ptr<Demoeffect> Particles::clone() const { return std::make_unique<Particles>(*this); }

void Particles::adoptParticle(std::unique_ptr<Demoeffect> particle) {
  if (!particle) return;
  if (!madeParticles) madeParticles = std::make_shared<std::vector<std::unique_ptr<Demoeffect>>>();
  children.push_back(particle.get());
  madeParticles->push_back(std::move(particle));
}

bool Particles::advance() {
  if (!initialised) return false;
  // Before the field's own step and before any particle is drawn or advanced.
  layoutParticles(*this);
  return Demoeffect::advance();
}

void Particles::local(float time, char* text) {
  const std::optional<LocalParameter> parameter = splitLocalParameter(text);
  if (!parameter) return;
  const std::string_view word = parameter->word;
  const char* value = parameter->value;
  if (word == "init") {
    const Demoeffect* model = effects.find(value);
    if (model == nullptr) {
      std::printf("No effect named %s to make particles of\n", value);
    } else if (model->reaches(this)) {
      // Every particle would contain this field, and drawing it would never end.
      std::printf("Can't make particles of %s: it contains this particle field\n", value);
    } else {
      initParticles(*this, *model);
    }
  } else if (word == "x") {
    countX = std::atoi(value);
  } else if (word == "y") {
    countY = std::atoi(value);
  } else if (word == "padx") {
    padX = static_cast<float>(std::atof(value));
  } else if (word == "pady") {
    padY = static_cast<float>(std::atof(value));
  } else if (word == "type") {
    if (const auto found = lookUp(typeWords, value)) type = *found;
  } else if (word == "anim") {
    if (const auto found = lookUp(animWords, value)) {
      anim = *found;
      // The pulse runs from the script line's own time stamp.
      if (anim == sinepulse) timer = static_cast<double>(time);
    }
  } else {
    reportFailedLocal(*parameter);
  }
}

}  // namespace glowmarch
