#include "app/common/View.h"

#include <GL/glew.h>
#include <GL/glu.h>

namespace glowmarch {

Projection projectionFor(int width, int height) {
  // A minimised window reports no height; the aspect must stay finite.
  if (height == 0) height = 1;
  // The near plane is the single-precision 0.1 widened, which sets the depth precision of every scene.
  return Projection{width, height, 45.0, static_cast<double>(width) / height, static_cast<double>(0.1f), 1000.0};
}

void resizeView(int width, int height) {
  const Projection view = projectionFor(width, height);
  glViewport(0, 0, view.viewportWidth, view.viewportHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(view.fieldOfView, view.aspect, view.nearPlane, view.farPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

}  // namespace glowmarch
