// The capture program's command line: where the frames go, how many per second, which span of the
// show and at what size. Parsed without touching anything, so every answer can be tested.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glowmarch {

inline constexpr const char* captureProgram = "glowmarch-capture";

// Frames are timed on the player's millisecond clock: beyond 1000 per second two frames would share a tick.
inline constexpr int maxCaptureFps = 1000;
// The largest picture any GL driver we meet renders into.
inline constexpr int maxCaptureDimension = 16384;
// More parts than this would each be a few frames whose start-up outweighs them.
inline constexpr int maxCaptureParts = 10000;

struct CaptureOptions {
  std::string out = "capture";
  int fps = 60;
  double from = 0.0;              // music seconds
  std::optional<double> to;       // music seconds; none: until "END" or the end of the music
  int width = 1920;
  int height = 1080;
  std::string video;              // a video file to write instead of PNG frames; empty: frames
  std::optional<int> crf;         // the encoder's quality; none: the format's default
  std::string preset;             // the encoder's speed, x264's names; empty: the encoder's default
  int part = 1;                   // the part-th of `parts` consecutive, equal ranges of the frames
  int parts = 1;
  // Where a part's files go instead of --out or --video: part-K/ (frames and music.wav), or
  // segment-K.EXT and segment-K.wav. Empty: the part writes where a whole capture would.
  std::string work;
  bool plan = false;              // print the plan as JSON and capture nothing
  bool help = false;
  // Not on the command line: draws the frames and writes nothing, to time drawing alone; with
  // `keep`, each picture is read back into it, to time writing alone.
  bool drawOnly = false;
  std::vector<std::vector<std::uint8_t>>* keep = nullptr;
};

struct ParsedCaptureOptions {
  CaptureOptions options;
  std::string error;  // empty when the command line was understood
  bool ok() const { return error.empty(); }
};

// Takes the arguments after the program's name. "--name value" and "--name=value" both work.
ParsedCaptureOptions parseCaptureOptions(const std::vector<std::string>& arguments);

// The --help text.
std::string captureUsage();

}  // namespace glowmarch
