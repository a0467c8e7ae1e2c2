// The README.txt a release folder carries: how to start the show, its keys, what the machine needs.
#pragma once

#include <string>

#include "app/release/Runtime.h"

namespace glowmarch {

// For the show `name` (UTF-8), with the line ends the system's own editors show as such.
std::string releaseReadme(const RuntimeSystem& system, const std::string& name);

}  // namespace glowmarch
