// A framebuffer object with an RGBA8 colour and a 24/8 depth-stencil buffer: where the capture
// program and the tests draw, whatever the window system's own buffers are.
#pragma once

#include <GL/glew.h>

namespace glowmarch {

struct OffscreenTarget {
  GLuint framebuffer = 0;
  GLuint colorBuffer = 0;
  GLuint depthBuffer = 0;
};

// Makes and binds the framebuffer; false (with nothing left bound) when it is incomplete.
bool createOffscreenTarget(OffscreenTarget& target, GLsizei width, GLsizei height);

}  // namespace glowmarch
