// The frame loop's wall clock and the steps of a frame that need no GL, kept apart so they can be
// tested and timed alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "timeline/Script.h"

namespace glowmarch {

// Wall-clock seconds since the show's start time, as of the current frame.
extern double elapsedTime;

inline constexpr std::size_t fpsTextSize = 90;

// Seconds between two readings of the wrapping 32-bit millisecond clock.
double secondsBetween(std::uint32_t start, std::uint32_t now);

// sqrt(ln(k + 1)): 0 for bin 0, rising slowly, so the quieter high bins count about as much as the low ones.
double spectrumWeight(int bin);
// Weights the 256 bins in place, each product in double precision, stored as float.
void weightSpectrum(float* bins);

// "text;%lf fps" with the mean rate frames / seconds, and a rate of 0 while no time has passed.
void formatFrameRate(char (&text)[fpsTextSize], std::uint32_t frames, double seconds);

// A line runs once, in the first frame whose music time is strictly past its time stamp.
inline bool isDue(const ScriptLine& line, double time) { return !line.executed && time > line.time; }

}  // namespace glowmarch
