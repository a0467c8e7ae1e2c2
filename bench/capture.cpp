// Capturing the showcase at 1920 x 1080 against the limit the work itself sets, all in one run: PNG
// frames (zlib on worker threads) and an H.264 video (raw frames piped into ffmpeg). Drawing and
// encoding share the machine's cores, so a capture can be no faster than the slowest of drawing alone,
// encoding alone (the same frames, already drawn, written by the same writers or piped into the same
// ffmpeg command) and the CPU time of both spread over every core. Each figure is the time per frame
// from the first frame drawn to the last one written, so start-up (script, shaders, music) is left
// out. The goal is a capture within 1.15 x that limit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/Capture.h"
#include "app/capture/CaptureOutput.h"
#include "app/platform/EncoderPipe.h"
#include "app/platform/System.h"

namespace {

using namespace glowmarch;
namespace fs = std::filesystem;

// One second of the drop (the knot, the spark fountains, the hoops): the busiest part of the show.
constexpr double fromSeconds = 52.0;
constexpr double toSeconds = 53.0;
constexpr int fps = 30;

struct PerFrame {
  double wall = -1.0;  // milliseconds; negative when the run failed
  double cpu = 0.0;
};

PerFrame capture(const CaptureOptions& options) {
  CaptureTimes times;
  if (runCapture(options, &times) != 0 || times.frames == 0) return {};
  const double frames = static_cast<double>(times.frames);
  return {times.seconds * 1000.0 / frames, times.cpuSeconds * 1000.0 / frames};
}

// The pictures written by `output` alone, as the capture hands them over.
PerFrame writeAlone(CaptureOutput& output, const std::vector<std::vector<std::uint8_t>>& pictures) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = system::processCpuSeconds() + system::childrenCpuSeconds();
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    std::vector<std::uint8_t>* buffer = output.take();
    if (buffer == nullptr) return {};
    *buffer = pictures[i];
    output.queue(buffer, i);
  }
  std::string error;
  if (!output.finish(error)) {
    std::fprintf(stderr, "writing alone failed: %s\n", error.c_str());
    return {};
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = system::processCpuSeconds() + system::childrenCpuSeconds() - cpuStart;
  const double frames = static_cast<double>(pictures.size());
  return {wall * 1000.0 / frames, cpu * 1000.0 / frames};
}

double limit(const PerFrame& draw, const PerFrame& write) {
  const double cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max({draw.wall, write.wall, (draw.cpu + write.cpu) / cores});
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
  PerFrame draw, png, video, pngAlone, videoAlone;
  for (auto _ : state) {
    std::vector<std::vector<std::uint8_t>> pictures;
    CaptureOptions drawOnly = options;
    drawOnly.drawOnly = true;
    draw = capture(drawOnly);
    drawOnly.keep = &pictures;
    capture(drawOnly);
    CaptureOptions frames = options;
    frames.out = (scratch / "frames").string();
    CaptureOptions encoded = options;
    encoded.video = (scratch / "capture.mp4").string();
    fs::remove_all(scratch / "frames");
    fs::remove(scratch / "capture.mp4");
    png = capture(frames);
    video = capture(encoded);

    fs::remove_all(scratch / "frames");
    fs::create_directories(scratch / "frames");
    pngAlone = writeAlone(*pngFrames(scratch / "frames", options.width, options.height), pictures);
    VideoJob job;
    job.format = *videoFormatFor(encoded.video);
    job.output = (scratch / "alone.mp4").string();
    job.width = options.width;
    job.height = options.height;
    job.fps = fps;
    job.crf = job.format.defaultCrf;
    std::string error;
    if (auto writer = videoFile(job, findProgram("ffmpeg"), error)) videoAlone = writeAlone(*writer, pictures);
  }
  fs::current_path(previous);
  fs::remove_all(scratch);
  for (const PerFrame* run : {&draw, &png, &video, &pngAlone, &videoAlone}) {
    if (run->wall <= 0.0) {
      state.SkipWithError("a capture failed; its reason is in the log");
      return;
    }
  }
  state.counters["draw_ms"] = draw.wall;
  state.counters["draw_cpu_ms"] = draw.cpu;
  state.counters["png_ms"] = png.wall;
  state.counters["png_alone_ms"] = pngAlone.wall;
  state.counters["png_alone_cpu_ms"] = pngAlone.cpu;
  state.counters["png_limit_ms"] = limit(draw, pngAlone);
  state.counters["video_ms"] = video.wall;
  state.counters["video_alone_ms"] = videoAlone.wall;
  state.counters["video_alone_cpu_ms"] = videoAlone.cpu;
  state.counters["video_limit_ms"] = limit(draw, videoAlone);
}

BENCHMARK(CaptureFullHd)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
