// The program around the show: the full-screen question, the loop that takes window events and draws
// frames, the restart keys and the end.
#pragma once

#include <functional>
#include <memory>

namespace glowmarch {

// What the loop runs: built once the window and context exist, asked for one frame per pass.
class Show {
 public:
  virtual ~Show() = default;
  // False ends the loop after this frame.
  virtual bool runFrame() = 0;
};

using ShowMaker = std::function<std::unique_ptr<Show>()>;

// Window, show and loop until Escape, closing the window or a frame that ends it; returns the
// process exit code. `shell.fullscreen` holds the display choice.
int runShell(const ShowMaker& makeShow);

// The whole program: the question, then the loop with the Player.
int runApplication();

}  // namespace glowmarch
