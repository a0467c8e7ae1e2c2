#include "effects/EffectRegistry.h"

namespace glowmarch {

EffectRegistry effects;

bool EffectRegistry::contains(std::string_view name) const { return byName.find(name) != byName.end(); }

Demoeffect* EffectRegistry::find(std::string_view name) const {
  auto found = byName.find(name);
  return found == byName.end() ? nullptr : found->second;
}

Demoeffect* EffectRegistry::store(std::string_view name, std::unique_ptr<Demoeffect> effect) {
  Demoeffect* raw = effect.get();
  if (effect) owned.push_back(std::move(effect));
  auto found = byName.find(name);
  if (found == byName.end()) {
    byName.emplace(std::string(name), raw);
  } else {
    found->second = raw;
  }
  return raw;
}

void EffectRegistry::clear() {
  byName.clear();
  // Newest first, so an object is gone before anything it was cloned from.
  while (!owned.empty()) owned.pop_back();
}

}  // namespace glowmarch
