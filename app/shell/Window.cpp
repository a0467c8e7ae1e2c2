#include "app/shell/Window.h"

#include <GL/glew.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#include "app/common/View.h"
#include "app/platform/System.h"
#include "app/shell/MessageBox.h"

namespace glowmarch {

ShellState shell;

namespace {

// Releases what was made, then says why, as every failure from the window on does.
bool fail(const char* text) {
  killWindow();
  tell(text, "ERROR", BoxIcon::exclamation);
  return false;
}

void shutdownError(const char* text) { tell(text, "SHUTDOWN ERROR", BoxIcon::information); }

constexpr int videoAttempts = 5;
constexpr Uint32 videoRetryMilliseconds = 20;

// A display server may refuse a connection now and then, and SDL then quietly falls back to a
// driver that shows nothing; both are worth another try.
bool startVideo() {
  // A write to a connection the server dropped during its handshake must not end the program.
  system::ignoreBrokenPipes();
  for (int attempt = 0; attempt < videoAttempts; ++attempt) {
    if (attempt > 0) SDL_Delay(videoRetryMilliseconds);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
    if (isVisibleVideoDriver(SDL_GetCurrentVideoDriver(), std::getenv("SDL_VIDEODRIVER"))) return true;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  return false;
}

bool findFullscreenMode(SDL_DisplayMode& mode) {
  SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB888, windowWidth, windowHeight, 0, nullptr};
  SDL_DisplayMode closest{};
  if (SDL_GetClosestDisplayMode(0, &wanted, &closest) == nullptr || !isFullscreenMode(closest)) return false;
  mode = closest;
  return true;
}

void requestPixelFormat() {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
}

// Size changes caused by showing the window count before the show's own projection is set.
void takeWindowEvents() {
  SDL_PumpEvents();
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) > 0) handleEvent(event);
}

}  // namespace

bool isFullscreenMode(const SDL_DisplayMode& mode) {
  return mode.w == windowWidth && mode.h == windowHeight && SDL_BYTESPERPIXEL(mode.format) == 4;
}

bool isVisibleVideoDriver(const char* driver, const char* requested) {
  if (driver == nullptr) return false;
  if (requested != nullptr && SDL_strcasecmp(driver, requested) == 0) return true;
  return std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "evdev") != 0;
}

bool createWindow() {
  if (!shell.videoReady && !startVideo()) {
    tell("Failed to register window class.", "ERROR", BoxIcon::exclamation);
    return false;
  }
  shell.videoReady = true;

  SDL_DisplayMode mode{};
  bool switched = false;
  if (shell.fullscreen) {
    if (findFullscreenMode(mode)) {
      switched = true;
    } else if (askYesNo("The Requested Fullscreen Mode is not Supported by\nyour video card. Use Windowed mode "
                        "instead?",
                        "OpenGL Rules", BoxIcon::exclamation)) {
      shell.fullscreen = false;
    } else {
      tell("Program will now close.", "ERROR", BoxIcon::stop);
      return false;
    }
  }
  if (switched) {
    SDL_ShowCursor(SDL_DISABLE);
    static const bool restoredAtExit = std::atexit(restoreDisplay) == 0;
    (void)restoredAtExit;
  }

  requestPixelFormat();
  const Uint32 style = switched ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE;
  shell.window = SDL_CreateWindow(windowTitle, 0, 0, windowWidth, windowHeight,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | style);
  if (shell.window == nullptr) return fail("Window Creation Error.");
  if (switched && SDL_SetWindowDisplayMode(shell.window, &mode) != 0) return fail("Window Creation Error.");

  shell.context = SDL_GL_CreateContext(shell.window);
  if (shell.context == nullptr) return fail("Can't Create a GL 3.x Rendering Context.");
  if (SDL_GL_MakeCurrent(shell.window, shell.context) != 0) {
    return fail("Can't Activate the temp GL rendering context.");
  }
  glewExperimental = GL_TRUE;
  const GLenum glew = glewInit();
  if (glew != GLEW_OK) return fail(reinterpret_cast<const char*>(glewGetErrorString(glew)));
  if (!currentContextVersion().forTheShow) return fail("Can't Create a GL 3.x Rendering Context.");
  drainGlErrors();  // GLEW's probing may leave an error the show's first check would take for its own

  SDL_ShowWindow(shell.window);
  SDL_RaiseWindow(shell.window);
  // Without a window manager nobody else gives the new window the keyboard, and Escape, F1 and F5
  // must reach it after a restart too.
  SDL_SetWindowInputFocus(shell.window);
  shell.active = true;
  takeWindowEvents();
  resizeView(windowWidth, windowHeight);
  return true;
}

void restoreDisplay() {
  if (shell.window == nullptr || (SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN) == 0) return;
  SDL_SetWindowFullscreen(shell.window, 0);
  SDL_ShowCursor(SDL_ENABLE);
}

void killWindow() {
  if (shell.fullscreen) {
    if (shell.window != nullptr) SDL_SetWindowFullscreen(shell.window, 0);
    SDL_ShowCursor(SDL_ENABLE);
  }
  if (shell.context != nullptr) {
    if (SDL_GL_MakeCurrent(shell.window, nullptr) != 0) shutdownError("Release of DC and RC Failed.");
    SDL_GL_DeleteContext(shell.context);
    shell.context = nullptr;
  }
  if (shell.window != nullptr) {
    SDL_DestroyWindow(shell.window);
    shell.window = nullptr;
  }
}

void handleEvent(const SDL_Event& event) {
  // A restart leaves events of the old window behind; they go nowhere, as they would to a destroyed
  // window. Key events of no window (no keyboard focus yet) are the show's.
  const Uint32 current = shell.window != nullptr ? SDL_GetWindowID(shell.window) : 0;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (event.key.windowID != 0 && event.key.windowID != current) return;
      recordKey(shell.keys, event.key.keysym, event.type == SDL_KEYDOWN);
      return;
    case SDL_WINDOWEVENT:
      break;
    default:
      return;
  }
  if (shell.window == nullptr || event.window.windowID != current) return;
  switch (event.window.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
      shell.active = false;
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
      shell.active = true;
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      resizeView(event.window.data1, event.window.data2);
      break;
    case SDL_WINDOWEVENT_CLOSE: {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
      break;
    }
    default:
      break;
  }
}

}  // namespace glowmarch
