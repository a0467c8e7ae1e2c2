// The script's type words for "new".
#include <cstring>

#include "effects/Camera.h"
#include "effects/Image.h"
#include "effects/Model.h"
#include "effects/Particles.h"
#include "effects/Sphere.h"
#include "effects/Text.h"
#include "timeline/Player.h"

namespace glowmarch {

std::unique_ptr<Demoeffect> createEffect(const char* type) {
  if (std::strcmp(type, "demoeffect") == 0) return std::make_unique<Demoeffect>();
  if (std::strcmp(type, "camera") == 0) return std::make_unique<Camera>();
  if (std::strcmp(type, "model") == 0) return std::make_unique<Model>();
  if (std::strcmp(type, "sphere") == 0) return std::make_unique<Sphere>();
  if (std::strcmp(type, "text") == 0) return std::make_unique<Text>();
  if (std::strcmp(type, "particles") == 0) return std::make_unique<Particles>();
  if (std::strcmp(type, "image") == 0) return std::make_unique<Image>();
  return nullptr;
}

}  // namespace glowmarch
