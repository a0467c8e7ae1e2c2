// What a release carries of a show besides its data/ folder: the files its script names elsewhere
// in the show folder, at the same paths. A named file that is missing or lies outside the show
// folder cannot travel with it.
#pragma once

#include <string>
#include <vector>

#include "app/check/ShowCheck.h"

namespace glowmarch {

struct ShowFiles {
  std::vector<std::string> outsideData;  // relative to the show folder, '/'-separated, each once
  std::vector<std::string> problems;     // "data/vesperscript.txt:12: \"meshes/gone.obj\" is missing"
};

// From the files the check lists (paths as the player names them, relative to the show folder).
ShowFiles sortShowFiles(const std::vector<NamedFile>& named);

}  // namespace glowmarch
