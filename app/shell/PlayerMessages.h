// The player's own message boxes (timeline/Platform.h), shown by the shell.
#pragma once

namespace glowmarch {

// Routes the player's boxes through `tell`, owned by the show's window.
void installPlayerMessages();

}  // namespace glowmarch
