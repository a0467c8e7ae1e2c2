// The process-wide registry of named scene objects, and the owner of every object the script made.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "effects/Demoeffect.h"

namespace glowmarch {

class EffectRegistry {
 public:
  // True when the name was ever stored, even if it holds no object.
  bool contains(std::string_view name) const;
  // The object under the name; nullptr when the name is absent or holds none. Never inserts.
  Demoeffect* find(std::string_view name) const;
  // Registers `effect` (possibly null) under the name. An object it replaces stays alive:
  // it may still be drawn through the scene or a child list.
  Demoeffect* store(std::string_view name, std::unique_ptr<Demoeffect> effect);
  // Destroys every object and forgets every name (restart, tests).
  void clear();
  std::size_t size() const { return byName.size(); }
  // Every name, in name order, with its object (nullptr for a name that holds none).
  const std::map<std::string, Demoeffect*, std::less<>>& names() const { return byName; }

 private:
  std::map<std::string, Demoeffect*, std::less<>> byName;
  std::vector<std::unique_ptr<Demoeffect>> owned;
};

extern EffectRegistry effects;

}  // namespace glowmarch
