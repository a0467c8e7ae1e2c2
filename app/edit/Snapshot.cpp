#include "app/edit/Snapshot.h"

#include <GL/glew.h>

#include "app/edit/Overlay.h"

namespace glowmarch {

void Snapshot::bindForDrawing(int w, int h) {
  fit(w, h);
  glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
}

void Snapshot::unbind() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }

void Snapshot::present(int w, int h, const PictureArea& area) const {
  // A blit is cut by the scissor, which the show may leave on; the clear colour is the show's.
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  const bool whole = area.x == 0 && area.y == 0 && area.width == w && area.height == h;
  if (!whole) {
    GLfloat clearColor[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    glClearColor(0.08f, 0.08f, 0.1f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
  }
  if (target.framebuffer != 0) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    glBlitFramebuffer(0, 0, width, height, area.x, h - area.y - area.height, area.x + area.width, h - area.y,
                      GL_COLOR_BUFFER_BIT, whole && w == width && h == height ? GL_NEAREST : GL_LINEAR);
  }
  unbind();
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

void Snapshot::fit(int w, int h) {
  if (target.framebuffer != 0 && w == width && h == height) return;
  if (target.framebuffer != 0) {
    glDeleteFramebuffers(1, &target.framebuffer);
    glDeleteRenderbuffers(1, &target.colorBuffer);
    glDeleteRenderbuffers(1, &target.depthBuffer);
  }
  createOffscreenTarget(target, w, h);
  // The show clears colour and depth every frame but never the stencil, which starts undefined.
  glClearStencil(0);
  glClear(GL_STENCIL_BUFFER_BIT);
  unbind();
  width = w;
  height = h;
}

}  // namespace glowmarch
