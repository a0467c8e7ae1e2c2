// The show's one window and its OpenGL 3.3 compatibility context, and the window events the shell handles.
#pragma once

#include <SDL2/SDL_events.h>
#include <SDL2/SDL_video.h>

#include "app/common/ContextVersion.h"
#include "app/shell/KeyTable.h"

namespace glowmarch {

inline constexpr int windowWidth = 1920;
inline constexpr int windowHeight = 1080;
inline constexpr const char* windowTitle = "Glowmarch";

struct ShellState {
  bool fullscreen = true;  // the display mode is switched to windowWidth x windowHeight
  bool active = true;      // not minimised; frames are drawn only while true
  KeyTable keys{};
  // SDL's video subsystem is up. It stays up until the process ends: closing the display connection
  // unloads the GL driver, which would orphan what the driver still holds and reload it on every restart.
  bool videoReady = false;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
};

extern ShellState shell;

// Builds window and context; on failure it has said why and released what it made.
bool createWindow();
// Releases whatever of context, window and display mode is held; the display connection stays.
void killWindow();
// Leaves full screen, giving the desktop its own display mode back, and shows the cursor. Also runs at
// exit: unlike Windows, X keeps a switched mode after its program is gone.
void restoreDisplay();
// One event other than SDL_QUIT, as the window procedure takes it.
void handleEvent(const SDL_Event& event);

// The display mode full screen asks for: windowWidth x windowHeight at 32 bits per pixel.
bool isFullscreenMode(const SDL_DisplayMode& mode);
// A video driver that puts a window on a screen; the headless ones count only when asked for by name.
bool isVisibleVideoDriver(const char* driver, const char* requested);
}  // namespace glowmarch
