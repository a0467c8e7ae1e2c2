#include "resources/TextureLibrary.h"

#include <cstdio>

namespace glowmarch {

GLuint findTexture(std::string_view name) {
  std::printf("Couldn't find texture: %.*s\n", static_cast<int>(name.size()), name.data());
  std::fflush(stdout);
  return 0;
}

void clearTextureLibrary() {}

}  // namespace glowmarch
