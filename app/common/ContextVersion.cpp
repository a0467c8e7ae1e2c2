#include "app/common/ContextVersion.h"

#include <GL/glew.h>

namespace glowmarch {

bool isShowContext(int major, int minor, int profileMask) {
  const bool recentEnough = major > 3 || (major == 3 && minor >= 3);
  return recentEnough && (profileMask & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) != 0;
}

void drainGlErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

ContextVersion currentContextVersion() {
  GLint major = 0;
  GLint minor = 0;
  GLint profile = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
  drainGlErrors();  // a context older than 3.2 knows no profile query; the version already rules it out
  return {major, minor, isShowContext(major, minor, profile)};
}

}  // namespace glowmarch
