// `glowmarch --new FOLDER`: a small working show to start from, written into a new folder.
#pragma once

#include <string>
#include <vector>

namespace glowmarch {

// Writes the show into `folder` (made if missing; an existing show there is not overwritten).
// Returns an empty text on success, else what went wrong.
std::string writeNewShow(const std::string& folder);

// The whole --new program, given the arguments after "--new"; 0 on success, 1 on failure, 2 for a
// command line it does not understand.
int runNewShow(const std::vector<std::string>& arguments);

}  // namespace glowmarch
