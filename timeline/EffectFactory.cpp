// The script's type words for "new".
#include <cstring>

#include "effects/Camera.h"
#include "effects/Image.h"
#include "effects/Model.h"
#include "effects/Particles.h"
#include "effects/Sphere.h"
#include "effects/Text.h"
#include "timeline/CommandWords.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

template <typename Effect>
std::unique_ptr<Demoeffect> make() {
  return std::make_unique<Effect>();
}

struct TypeEntry {
  const char* word;
  std::unique_ptr<Demoeffect> (*create)();
  std::vector<LocalWord> (*localWords)();
};

// Matched in this order.
constexpr TypeEntry typeEntries[] = {
    {"demoeffect", make<Demoeffect>, Demoeffect::localWords}, {"camera", make<Camera>, Camera::localWords},
    {"model", make<Model>, Model::localWords},                {"sphere", make<Sphere>, Sphere::localWords},
    {"text", make<Text>, Text::localWords},                   {"particles", make<Particles>, Particles::localWords},
    {"image", make<Image>, Image::localWords},
};

}  // namespace

std::unique_ptr<Demoeffect> createEffect(const char* type) {
  for (const TypeEntry& entry : typeEntries) {
    if (std::strcmp(type, entry.word) == 0) return entry.create();
  }
  return nullptr;
}

std::vector<EffectType> effectTypes() {
  std::vector<EffectType> types;
  for (const TypeEntry& entry : typeEntries) types.push_back({entry.word, entry.localWords()});
  return types;
}

}  // namespace glowmarch
