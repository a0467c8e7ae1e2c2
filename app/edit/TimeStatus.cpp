#include "app/edit/TimeStatus.h"

#include <cstdio>

namespace glowmarch {

std::string timeStatus(double seconds, double length, bool paused, bool atEnd, const std::string& barBeat) {
  const char* state = atEnd ? "END" : (paused ? "PAUSED" : "playing");
  const std::string beat = barBeat.empty() ? std::string() : "  " + barBeat + " ";
  char text[200];
  if (length > 0.0) {
    std::snprintf(text, sizeof text, "%8.3f s%s of %.3f s   %s", seconds, beat.c_str(), length, state);
  } else {
    std::snprintf(text, sizeof text, "%8.3f s%s   %s", seconds, beat.c_str(), state);
  }
  return text;
}

}  // namespace glowmarch
