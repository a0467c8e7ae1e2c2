// The timeline's view in plain values: which seconds of the show it spans, how a wheel turn zooms
// around the pointer and a drag pans, the step of its seconds scale, the grid frame a script line has
// first run in, and where a dragged tick snaps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glowmarch {

struct TimelineSpan {
  double first = 0.0;  // seconds at the left edge
  double span = 0.0;   // seconds across the width; 0 until the show's length is known

  // The whole show, and the view kept inside it.
  static TimelineSpan whole(double length);
  TimelineSpan clamped(double length) const;
  double secondsAt(float x, float left, float width) const;
  float xOf(double seconds, float left, float width) const;
};

// Zooms by `factor` (below 1 zooms in) keeping `seconds` where it is on screen; never closer than
// 0.1 s across, never wider than the show.
TimelineSpan zoomAround(const TimelineSpan& view, double seconds, double factor, double length);
// Moves the view by `seconds`, kept inside the show.
TimelineSpan panBy(const TimelineSpan& view, double seconds, double length);

// The step of the seconds scale, from 1/60 s up to an hour in 1, 2, 5 steps, so that labels stand at
// least `minimumPixels` apart.
double scaleStep(double secondsPerPixel, double minimumPixels);
// A scale label: "1:05" from a minute on, "12 s", "12.5 s" or "12.25 s" as the step needs.
std::string scaleLabel(double seconds, double step);

// The first frame of the 1/60 s grid in which a line stamped `time` has run (strictly past it).
std::uint64_t firstFrameAfter(double time);

// The frame a tick dragged to `seconds` lands in: the grid frame nearest the nearest beat, or with
// `gridOnly` (Shift held), or without beats, the frame nearest `seconds`; never frame 0, which only
// the start-up lines reach.
std::uint64_t tickTarget(double seconds, const std::vector<double>& beats, bool gridOnly);

}  // namespace glowmarch
