#include "app/common/HeadlessContext.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>

#include "app/common/ContextVersion.h"
#include "app/common/View.h"
#include "app/platform/System.h"
#include "resources/OffscreenTarget.h"

namespace glowmarch {

namespace {

constexpr int videoAttempts = 5;
constexpr Uint32 videoRetryMilliseconds = 20;

// A display server may refuse a connection now and then. With no display server at all SDL's
// offscreen driver still gives a context, through EGL; SDL picks it only when asked by name.
bool startVideo(std::string& error) {
  // A write to a connection the server dropped during its handshake must not end the program.
  system::ignoreBrokenPipes();
  // With no display server named the window systems' own drivers can only fail, noisily.
  const bool anyDisplay = system::displayNamed();
  for (int attempt = 0; anyDisplay && attempt < videoAttempts; ++attempt) {
    if (attempt > 0) SDL_Delay(videoRetryMilliseconds);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    error = SDL_GetError();
  }
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  error += std::string(error.empty() ? "" : "; ") + "offscreen driver: " + SDL_GetError();
  return false;
}

}  // namespace

HeadlessContext::~HeadlessContext() { release(); }

void HeadlessContext::release() {
  if (context != nullptr) {
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    context = nullptr;
  }
  if (window != nullptr) {
    SDL_DestroyWindow(window);
    window = nullptr;
  }
  target = {};
}

const char* HeadlessContext::driver() const {
  const char* name = SDL_GetCurrentVideoDriver();
  return name != nullptr ? name : "none";
}

bool HeadlessContext::open(int width, int height, std::string& error) {
  release();
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && !startVideo(error)) {
    error = "no video driver: " + error;
    return false;
  }
  // Loaded once for the process's life: destroying the last GL window would otherwise unload the
  // driver (EGL's is opened at run time), orphaning what it still holds.
  static bool glLoaded = false;
  if (!glLoaded && SDL_GL_LoadLibrary(nullptr) != 0) {
    error = std::string("no OpenGL library: ") + SDL_GetError();
    return false;
  }
  glLoaded = true;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  // The window's own buffers are never drawn into: the framebuffer object below holds the picture.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  window = SDL_CreateWindow("glowmarch-capture", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) {
    error = std::string("no window for a GL context: ") + SDL_GetError();
    return false;
  }
  context = SDL_GL_CreateContext(window);
  if (context == nullptr || SDL_GL_MakeCurrent(window, context) != 0) {
    error = std::string("no OpenGL 3.3 compatibility context: ") + SDL_GetError();
    release();
    return false;
  }
  glewExperimental = GL_TRUE;
  const GLenum glew = glewInit();
  // GLEW built for GLX also looks for a GLX display, which an EGL context has not; the GL entry
  // points are loaded before that look.
  const bool loaded = glew == GLEW_OK || (glew == GLEW_ERROR_NO_GLX_DISPLAY && glGenFramebuffers != nullptr);
  if (!loaded) {
    error = std::string("cannot load the GL entry points: ") + reinterpret_cast<const char*>(glewGetErrorString(glew));
    release();
    return false;
  }
  drainGlErrors();
  const ContextVersion version = currentContextVersion();
  if (!version.forTheShow) {
    error = "no OpenGL 3.3 compatibility context (got " + std::to_string(version.major) + "." +
            std::to_string(version.minor) + ")";
    release();
    return false;
  }
  GLint largest = 0;
  GLint viewport[2] = {};
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  if (width > largest || height > largest || width > viewport[0] || height > viewport[1]) {
    error = "the GL driver draws pictures of at most " + std::to_string(std::min(largest, viewport[0])) + "x" +
            std::to_string(std::min(largest, viewport[1])) + " pixels";
    release();
    return false;
  }

  if (!createOffscreenTarget(target, width, height) || glGetError() != GL_NO_ERROR) {
    error = "cannot make a " + std::to_string(width) + "x" + std::to_string(height) + " framebuffer";
    release();
    return false;
  }
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  w = width;
  h = height;
  // The show clears colour and depth every frame but never the stencil, which starts undefined.
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  resizeView(width, height);
  return true;
}

void HeadlessContext::read(std::vector<std::uint8_t>& rgba) const {
  rgba.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

}  // namespace glowmarch
