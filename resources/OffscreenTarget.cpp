#include "resources/OffscreenTarget.h"

namespace glowmarch {

bool createOffscreenTarget(OffscreenTarget& target, GLsizei width, GLsizei height) {
  glGenFramebuffers(1, &target.framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  glGenRenderbuffers(1, &target.colorBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, target.colorBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colorBuffer);
  glGenRenderbuffers(1, &target.depthBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, target.depthBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, target.depthBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return false;
}

}  // namespace glowmarch
