// `glowmarch --release`: the folders and archives that play a show on a machine where nothing of
// Glowmarch is installed, made from the runtimes beside the program. The show is checked first;
// everything is written under a temporary name and takes its own only when complete, so a failed
// release leaves no half-written folder or archive and an earlier release of the show as it was.
#pragma once

#include <string>
#include <vector>

namespace glowmarch {

// The whole program, given the arguments after "--release": 0 when made, 1 otherwise.
int runRelease(const std::vector<std::string>& arguments);

}  // namespace glowmarch
