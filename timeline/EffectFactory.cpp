// The script's type words for "new".
#include <cstring>

#include "timeline/Player.h"

namespace glowmarch {

std::unique_ptr<Demoeffect> createEffect(const char* type) {
  if (std::strcmp(type, "demoeffect") == 0) return std::make_unique<Demoeffect>();
  return nullptr;
}

}  // namespace glowmarch
