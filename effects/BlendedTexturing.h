// Alpha-blended texturing for the fixed-function quads of images and text, switched on for one
// draw and put back as it was, so objects drawn later see the state they expect.
#pragma once

#include <GL/glew.h>

namespace glowmarch {

class BlendedTexturing {
 public:
  BlendedTexturing() : textured(glIsEnabled(GL_TEXTURE_2D)), blended(glIsEnabled(GL_BLEND)) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  ~BlendedTexturing() {
    if (!textured) glDisable(GL_TEXTURE_2D);
    if (!blended) glDisable(GL_BLEND);
  }
  BlendedTexturing(const BlendedTexturing&) = delete;
  BlendedTexturing& operator=(const BlendedTexturing&) = delete;

 private:
  GLboolean textured;
  GLboolean blended;
};

}  // namespace glowmarch
