#include "tests/support/GlContext.h"

#include <GL/glu.h>
#include <SDL2/SDL.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace glowmarch::testing {

namespace {

// The test X server drops a connection now and then during its handshake, under parallel tests.
// A write to the dropped socket must not kill the test, and SDL's quiet fallback to a driver
// without a screen is worth another try.
bool startVideo(std::string& error) {
#ifdef SIGPIPE  // Windows has none: a write to a closed connection fails there anyway
  std::signal(SIGPIPE, SIG_IGN);
#endif
  const char* wanted = std::getenv("SDL_VIDEODRIVER");
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (attempt > 0) SDL_Delay(20 * attempt);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error = std::string("SDL video: ") + SDL_GetError();
      continue;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool screen = driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "windows") == 0);
    if (wanted != nullptr || screen) {
      error.clear();
      return true;
    }
    error = std::string("SDL video fell back to ") + (driver != nullptr ? driver : "nothing");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  return false;
}

}  // namespace

GlContext::GlContext(int width, int height) : w(width), h(height) {
  if (!startVideo(error)) return;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  window = SDL_CreateWindow("glowmarch test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) {
    error = std::string("SDL window: ") + SDL_GetError();
    return;
  }
  context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    error = std::string("GL context: ") + SDL_GetError();
    return;
  }
  glewExperimental = GL_TRUE;
  const GLenum glew = glewInit();
  if (glew != GLEW_OK) {
    error = reinterpret_cast<const char*>(glewGetErrorString(glew));
    return;
  }
  if (!createOffscreenTarget(target, width, height)) {
    error = "offscreen framebuffer incomplete";
    return;
  }
  bindTarget();
  takeError();  // glewInit may leave an error behind on some drivers
}

GlContext::~GlContext() {
  if (context != nullptr) SDL_GL_DeleteContext(context);
  if (window != nullptr) SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlContext::bindTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  glViewport(0, 0, w, h);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(w) / h, static_cast<double>(0.1f), 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

std::array<std::uint8_t, 4> GlContext::pixel(int x, int y) const {
  std::array<std::uint8_t, 4> rgba{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

std::vector<std::uint8_t> GlContext::readAll() const {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

void GlContext::resetDrawingState() {
  for (GLenum capability : {GL_LIGHTING, GL_LIGHT0, GL_NORMALIZE, GL_COLOR_MATERIAL, GL_TEXTURE_2D, GL_BLEND,
                            GL_DEPTH_TEST, GL_CULL_FACE}) {
    glDisable(capability);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindVertexArray(0);
  glUseProgram(0);
  glColor4f(1, 1, 1, 1);
}

GLenum GlContext::takeError() {
  GLenum first = GL_NO_ERROR;
  for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) {
    if (first == GL_NO_ERROR) first = e;
  }
  return first;
}

}  // namespace glowmarch::testing
