#include "app/edit/TimeStamp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/edit/Transport.h"
#include "timeline/FrameClock.h"

namespace glowmarch {

namespace {

std::string written(long long milliseconds) {
  char text[40];
  const long long whole = std::llabs(milliseconds);
  std::snprintf(text, sizeof text, "%s%lld.%03lld", milliseconds < 0 ? "-" : "", whole / 1000, whole % 1000);
  std::string stamp = text;
  stamp.erase(stamp.find_last_not_of('0') + 1);
  if (stamp.back() == '.') stamp.pop_back();
  return stamp;
}

}  // namespace

std::string stampBefore(double seconds) {
  if (!std::isfinite(seconds)) return "0";
  auto milliseconds = static_cast<long long>(std::floor(std::clamp(seconds, -1e9, 1e9) * 1000.0)) + 1;
  // Judged as the player reads stamps, so no rounding of the product can put it at or past the time.
  std::string stamp = written(milliseconds);
  while (std::strtod(stamp.c_str(), nullptr) >= seconds) stamp = written(--milliseconds);
  return stamp;
}

std::string stampForFrame(std::uint64_t frame) {
  const double music = frameSeconds(frame, editFps);
  const double clock = frameMilliseconds(frame, editFps) / 1000.0;
  return stampBefore(std::min(music, clock));
}

}  // namespace glowmarch
