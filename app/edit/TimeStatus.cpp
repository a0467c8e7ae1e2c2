#include "app/edit/TimeStatus.h"

#include <cstdio>

namespace glowmarch {

std::string timeStatus(double seconds, double length, bool paused, bool atEnd) {
  const char* state = atEnd ? "END" : (paused ? "PAUSED" : "playing");
  char text[160];
  if (length > 0.0) {
    std::snprintf(text, sizeof text, "%8.3f s of %.3f s   %s", seconds, length, state);
  } else {
    std::snprintf(text, sizeof text, "%8.3f s   %s", seconds, state);
  }
  return text;
}

}  // namespace glowmarch
