// The edit mode: the show in a window with a transport, reloaded in place when its files change,
// and an overlay over it.
#pragma once

#include <string>
#include <vector>

#include "app/edit/EditOptions.h"

namespace glowmarch {

// Runs until Escape or the window is closed; returns the process exit code.
int runEditMode(const EditOptions& options);

// The player's options (the arguments after its name): --help, or the edit mode. Exits 2 for a
// command line it does not understand.
int runEditCommandLine(const std::vector<std::string>& arguments);

}  // namespace glowmarch
