#include "app/edit/TimelineScale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "app/edit/Transport.h"

namespace glowmarch {

namespace {

constexpr double closest = 0.1;

}  // namespace

TimelineSpan TimelineSpan::whole(double length) { return TimelineSpan{0.0, length > 0.0 ? length : 1.0}; }

TimelineSpan TimelineSpan::clamped(double length) const {
  const double all = length > 0.0 ? length : 1.0;
  TimelineSpan view = *this;
  if (!(view.span > 0.0) || view.span > all) view.span = all;
  view.span = std::max(view.span, std::min(closest, all));
  view.first = std::clamp(std::isfinite(view.first) ? view.first : 0.0, 0.0, all - view.span);
  return view;
}

double TimelineSpan::secondsAt(float x, float left, float width) const {
  if (!(width > 0.0f)) return first;
  return first + static_cast<double>(x - left) / width * span;
}

float TimelineSpan::xOf(double seconds, float left, float width) const {
  if (!(span > 0.0)) return left;
  return left + static_cast<float>((seconds - first) / span) * width;
}

TimelineSpan zoomAround(const TimelineSpan& view, double seconds, double factor, double length) {
  const TimelineSpan from = view.clamped(length);
  TimelineSpan to = from;
  to.span = from.span * factor;
  to = TimelineSpan{0.0, to.span}.clamped(length);
  // The point under the pointer keeps its share of the width.
  const double share = from.span > 0.0 ? (seconds - from.first) / from.span : 0.0;
  to.first = seconds - share * to.span;
  return to.clamped(length);
}

TimelineSpan panBy(const TimelineSpan& view, double seconds, double length) {
  TimelineSpan moved = view.clamped(length);
  moved.first += seconds;
  return moved.clamped(length);
}

double scaleStep(double secondsPerPixel, double minimumPixels) {
  const double wanted = secondsPerPixel * minimumPixels;
  if (!(wanted > 1.0 / 60.0)) return 1.0 / 60.0;
  for (double decade = 0.01; decade < 3600.0; decade *= 10.0) {
    for (double mantissa : {1.0, 2.0, 5.0}) {
      if (decade * mantissa >= wanted) return decade * mantissa;
    }
  }
  return 3600.0;
}

std::string scaleLabel(double seconds, double step) {
  char text[32];
  if (step >= 60.0 || (seconds >= 60.0 && step >= 1.0)) {
    const long whole = std::lround(seconds);
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  } else {
    const int decimals = step >= 1.0 ? 0 : (step >= 0.1 ? 1 : (step >= 0.01 ? 2 : 3));
    std::snprintf(text, sizeof text, "%.*f s", decimals, seconds);
  }
  return text;
}

std::uint64_t firstFrameAfter(double time) {
  if (!(time >= 0.0)) return 0;
  // The frame's time is frame / 60 as the clock computes it: step past any rounding.
  std::uint64_t frame = static_cast<std::uint64_t>(std::floor(time * editFps));
  while (static_cast<double>(frame) / editFps <= time) ++frame;
  return frame;
}

std::uint64_t tickTarget(double seconds, const std::vector<double>& beats, bool gridOnly) {
  double target = seconds;
  if (!gridOnly && !beats.empty()) {
    const auto after = std::lower_bound(beats.begin(), beats.end(), seconds);
    if (after == beats.end()) {
      target = beats.back();
    } else if (after != beats.begin() && seconds - *std::prev(after) < *after - seconds) {
      target = *std::prev(after);
    } else {
      target = *after;
    }
  }
  return std::max<std::uint64_t>(frameNearest(target), 1);
}

}  // namespace glowmarch
