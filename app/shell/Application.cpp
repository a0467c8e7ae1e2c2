// The program as a person starts it: the full-screen question, then the show the Player plays.
#include <memory>

#include "app/shell/MessageBox.h"
#include "app/shell/PlayerMessages.h"
#include "app/shell/Shell.h"
#include "app/shell/Window.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

class PlayerShow : public Show {
 public:
  bool runFrame() override { return player.runFrame(); }

 private:
  Player player;
};

}  // namespace

int runApplication() {
  installPlayerMessages();
  // No answer at all (no box could be shown) runs windowed.
  shell.fullscreen = askYesNo("Would You Like to Run in FullScreen mode?", "Start Fullscreen?", BoxIcon::question);
  // SDL itself is left to the end of the process, with the display connection (see ShellState).
  return runShell([] { return std::make_unique<PlayerShow>(); });
}

}  // namespace glowmarch
