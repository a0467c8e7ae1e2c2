// The offline renderer: plays the show in the working folder frame by frame at a fixed rate, with
// the music positioned rather than heard, and writes each frame and the music to files or a video.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/capture/CaptureOptions.h"

namespace glowmarch {

// The whole program, given the arguments after its name; returns the exit code: 0 when the frames
// are written (also when the script's "END" ends the process part-way, after the last whole frame),
// 1 when the capture could not be made, 2 for a command line it does not understand.
int runCapture(const std::vector<std::string>& arguments);

// How long the frames took, from the first drawn to the last written.
struct CaptureTimes {
  std::uint64_t frames = 0;
  double seconds = 0.0;
  double cpuSeconds = 0.0;  // of this process and the encoder it ran
};

// A capture of options already read; `times`, when given, receives the figures.
int runCapture(const CaptureOptions& options, CaptureTimes* times);

}  // namespace glowmarch
