// The script's lines as the edit mode lists them: time, line number in the file, text; and where the
// script's END ends the show.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace glowmarch {

class Player;

struct TimelineLine {
  double time = 0.0;
  int fileLine = 0;  // counted from 1
  std::string text;
};

// The player's lines in file order, numbered as in the script file: the player cuts its copy of the
// file into lines in place, so a line's offset in the buffer is its offset in the file.
std::vector<TimelineLine> timelineLines(const Player& player);

// When the script's "END" ends the show: the earliest of its END lines (0 for one among the start-up
// lines); none without one.
std::optional<double> scriptEnd(const std::vector<TimelineLine>& lines);

}  // namespace glowmarch
