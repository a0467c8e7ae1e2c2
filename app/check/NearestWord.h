// The known word a misspelt one most likely meant.
#pragma once

#include <string_view>
#include <vector>

namespace glowmarch {

// The known word within two edits (a swap of neighbours counts as one, a change of case as none)
// of `word`, the nearest first; empty when none is that near.
std::string_view nearestWord(std::string_view word, const std::vector<std::string_view>& known);

}  // namespace glowmarch
