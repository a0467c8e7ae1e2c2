// Which frames a capture renders and writes, what time each one stands at, what the files are
// called, and the progress line. Plain arithmetic, no GL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "timeline/FrameClock.h"

namespace glowmarch {

// Frame n of the show stands at n / fps seconds of music. Frames before `first` run without being
// written, so the show at `first` is the show as played from the start; frames first to end - 1 are
// written, numbered from 0.
struct CapturePlan {
  int fps = 60;
  std::uint64_t first = 0;
  std::uint64_t end = 0;  // one past the last frame written
  std::uint64_t askedEnd = 0;  // `end` as --to or the music's end put it
  // The frame in which the script's "END" ends the show, when that comes before `askedEnd`: the
  // frames and the sound stop there (`end` is that frame), and the frame itself is run, not written.
  std::optional<std::uint64_t> scriptEnd;
  std::uint64_t count() const { return end > first ? end - first : 0; }
};

// File names carry six digits, so that an encoder's "%06d" pattern reads them in order.
inline constexpr std::uint64_t maxCaptureFrames = 1000000;

// The first frame whose time n / fps is not before `seconds`. Times typed in decimal (0.1 s at 30 fps)
// land on their frame although their binary value lies a hair past it.
std::uint64_t firstFrameAt(double seconds, int fps);
// The first frame at or past the end of a piece of `musicFrames` samples at 44100 Hz: frames before it
// still hear music.
std::uint64_t firstFrameAfterMusic(std::uint64_t musicFrames, int fps);

// The frames from `from` up to `to`, or up to the end of the music when there is no `to`. An empty
// optional when neither bounds the capture (no `to`, no music).
std::optional<CapturePlan> planCapture(int fps, double from, std::optional<double> to,
                                       std::optional<std::uint64_t> musicFrames);

// The plan stopped at `endFrame`, the frame in which the script's "END" ends the show, when that comes
// before its end.
void stopAtScriptEnd(CapturePlan& plan, std::optional<std::uint64_t> endFrame);

// The first sample (44100 Hz) heard at frame n: the one n / fps falls in.
std::uint64_t frameSample(std::uint64_t frame, int fps);

// "frame000042.png" for the 43rd frame written.
std::string frameFileName(std::uint64_t index);

// "1:05", "1:02:03": minutes and seconds, hours when there are any.
std::string clockText(double seconds);

// One line of progress: a bar over all the frames to run (skipped ones first), the frames written so
// far, the music time and the time left. Skipped frames cost a fraction of written ones, so each
// phase, skipping and writing, is estimated from its own pace: `phaseWallSeconds` is the time spent
// in the current phase.
std::string progressText(const CapturePlan& plan, std::uint64_t framesRun, double musicSeconds,
                         double phaseWallSeconds);

}  // namespace glowmarch
