#include "effects/Particles.h"

#include <cstdio>
#include <cstdlib>

#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/LocalParameter.h"
#include "effects/ParticleLayout.h"

namespace glowmarch {

namespace {

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

void init(Particles& field, float, const char* name) {
  const Demoeffect* model = effects.find(name);
  if (model == nullptr) {
    std::printf("No effect named %s to make particles of\n", name);
  } else if (model->reaches(&field)) {
    // Every particle would contain this field, and drawing it would never end.
    std::printf("Can't make particles of %s: it contains this particle field\n", name);
  } else {
    initParticles(field, *model);
  }
}

// Unknown type and animation words leave the value as it was, silently.
const LocalSetting<Particles> settings[] = {
    {{"init", LocalValue::effectName, "the template"}, init},
    {{"x", LocalValue::integer, "particles per row"},
     [](Particles& field, float, const char* value) { field.countX = std::atoi(value); }},
    {{"y", LocalValue::integer, "rows"},
     [](Particles& field, float, const char* value) { field.countY = std::atoi(value); }},
    {{"padx", LocalValue::number, "column spacing"},
     [](Particles& field, float, const char* value) { field.padX = static_cast<float>(std::atof(value)); }},
    {{"pady", LocalValue::number, "row spacing"},
     [](Particles& field, float, const char* value) { field.padY = static_cast<float>(std::atof(value)); }},
    {{"type", LocalValue::choice, "particle type", typeWords},
     [](Particles& field, float, const char* value) {
       if (const auto found = choiceValue(typeWords, value)) field.type = *found;
     }},
    {{"anim", LocalValue::choice, "particle animation", animWords},
     [](Particles& field, float time, const char* value) {
       const auto found = choiceValue(animWords, value);
       if (!found) return;
       field.anim = *found;
       // The pulse runs from the script line's own time stamp.
       if (field.anim == Particles::sinepulse) field.timer = static_cast<double>(time);
     }},
};

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
  if (!drawingAgain) layoutParticles(*this);
  return Demoeffect::advance();
}

void Particles::local(float time, char* text) { applyLocal(*this, settings, time, text); }

std::vector<LocalWord> Particles::localWords() { return declaredWords(settings); }

}  // namespace glowmarch
