#include "app/shell/Shell.h"

#include <SDL2/SDL.h>

#include "app/shell/MessageBox.h"
#include "app/shell/Window.h"
#include "effects/ShowState.h"

namespace glowmarch {

namespace {

constexpr Uint32 firstShowDelayMilliseconds = 25;

}  // namespace

int runShell(const ShowMaker& makeShow) {
  // Closing the window ends the show through the loop, like any other end.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // A full-screen show that loses the focus keeps running, as it would in a window.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // An empty queue must mean empty: events posted while handling others come before the next frame.
  SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");

  if (!createWindow()) return 0;
  SDL_Delay(firstShowDelayMilliseconds);
  std::unique_ptr<Show> show = makeShow();

  bool done = false;
  while (!done) {
    SDL_Event event;
    if (SDL_PollEvent(&event) != 0) {
      if (event.type == SDL_QUIT) break;
      // Pending events are taken one per pass before any frame is drawn.
      handleEvent(event);
      continue;
    }
    if (shell.active) {
      if (shell.keys[virtualKeyEscape]) {
        done = true;
      } else {
        // A frame that ended the show (the script's "END") drew nothing to show.
        if (show->runFrame()) {
          SDL_GL_SwapWindow(shell.window);
        } else {
          done = true;
        }
      }
    }
    // Restarts are taken even while minimised.
    const Restart restart = takeRestart(shell.keys);
    if (restart != Restart::none) {
      show.reset();
      clearShowState();
      killWindow();
      if (restart == Restart::otherDisplay) shell.fullscreen = !shell.fullscreen;
      if (!createWindow()) return 0;
      show = makeShow();
    }
    shell.keys.settle();
  }
  show.reset();
  clearShowState();
  killWindow();
  return 0;
}

}  // namespace glowmarch
