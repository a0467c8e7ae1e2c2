// Capturing the showcase at 1920 x 1080 against drawing the same frames and writing nothing, all in
// one run: PNG frames (zlib on worker threads) and an H.264 video (raw frames piped into ffmpeg).
// Each figure is the time per frame from the first frame drawn to the last one written, so start-up
// (script, shaders, music) is left out. The goal is a capture at no less than 0.9 x the speed of
// drawing alone, a time per frame at most 1 / 0.9 = 1.11 x.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/capture/Capture.h"

namespace {

using namespace glowmarch;
namespace fs = std::filesystem;

// One second of the drop (the knot, the spark fountains, the hoops): the busiest part of the show.
constexpr double fromSeconds = 52.0;
constexpr double toSeconds = 53.0;
constexpr int fps = 30;

// The capture's time per frame in milliseconds, or a negative number when it failed.
double millisecondsPerFrame(const CaptureOptions& options) {
  CaptureTimes times;
  if (runCapture(options, &times) != 0 || times.frames == 0) return -1.0;
  return times.seconds * 1000.0 / static_cast<double>(times.frames);
}

void CaptureFullHd(benchmark::State& state) {
  const fs::path showcase = fs::path(GLOWMARCH_SOURCE_DIR) / "showcase";
  const fs::path previous = fs::current_path();
  const fs::path scratch = fs::temp_directory_path() / ("glowmarch-bench-capture-" + std::to_string(getpid()));
  fs::create_directories(scratch);
  fs::current_path(showcase);

  CaptureOptions options;
  options.fps = fps;
  options.from = fromSeconds;
  options.to = toSeconds;
  options.width = 1920;
  options.height = 1080;
  double draw = 0.0;
  double png = 0.0;
  double video = 0.0;
  for (auto _ : state) {
    CaptureOptions drawOnly = options;
    drawOnly.drawOnly = true;
    CaptureOptions frames = options;
    frames.out = (scratch / "frames").string();
    CaptureOptions encoded = options;
    encoded.video = (scratch / "capture.mp4").string();
    fs::remove_all(scratch / "frames");
    fs::remove(scratch / "capture.mp4");
    draw = millisecondsPerFrame(drawOnly);
    png = millisecondsPerFrame(frames);
    video = millisecondsPerFrame(encoded);
  }
  fs::current_path(previous);
  fs::remove_all(scratch);
  if (draw <= 0.0 || png <= 0.0 || video <= 0.0) {
    state.SkipWithError("a capture failed; its reason is in the log");
    return;
  }
  state.counters["draw_ms"] = draw;
  state.counters["png_ms"] = png;
  state.counters["video_ms"] = video;
  state.counters["png_speed"] = draw / png;
  state.counters["video_speed"] = draw / video;
}

BENCHMARK(CaptureFullHd)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
