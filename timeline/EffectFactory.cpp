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

struct EffectType {
  const char* word;
  std::unique_ptr<Demoeffect> (*create)();
};

// Matched in this order.
constexpr EffectType effectTypes[] = {
    {"demoeffect", make<Demoeffect>}, {"camera", make<Camera>}, {"model", make<Model>},
    {"sphere", make<Sphere>},         {"text", make<Text>},     {"particles", make<Particles>},
    {"image", make<Image>},
};

}  // namespace

std::unique_ptr<Demoeffect> createEffect(const char* type) {
  for (const EffectType& entry : effectTypes) {
    if (std::strcmp(type, entry.word) == 0) return entry.create();
  }
  return nullptr;
}

std::vector<std::string_view> effectTypeWords() {
  std::vector<std::string_view> words;
  for (const EffectType& entry : effectTypes) words.push_back(entry.word);
  return words;
}

}  // namespace glowmarch
