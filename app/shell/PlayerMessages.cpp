#include "app/shell/PlayerMessages.h"

#include "app/shell/MessageBox.h"
#include "app/shell/Window.h"
#include "timeline/Platform.h"

namespace glowmarch {

namespace {

void tellPlayer(const char* text, const char* caption) { tell(text, caption, BoxIcon::none, shell.window); }

}  // namespace

void installPlayerMessages() {
  Platform hooks = platform();
  hooks.showMessage = tellPlayer;
  setPlatform(hooks);
}

}  // namespace glowmarch
