// The beat file from the music: `glowmarch --beats [FOLDER]`, and the edit mode's key, write the
// beat grid the edit mode shows to data/music/beats.txt, where every program reads it.
#pragma once

#include <string>
#include <vector>

namespace glowmarch {

// Writes `beats` to data/music/beats.txt; a different file already there is kept as beats.txt.old.
// `report` says what was written, or why nothing was.
bool writeBeatFile(const std::vector<double>& beats, std::string& report);

// The whole --beats program, given the arguments after "--beats" (at most a show folder): 0 when the
// file was written, 1 when the music has no beat to write, 2 when it could not be done.
int runBeats(const std::vector<std::string>& arguments);

}  // namespace glowmarch
