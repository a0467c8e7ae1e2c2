// Bringing the showcase to 77 s at 60 fps: the seek (frames advanced without drawing) against the
// old way of getting there (every frame drawn into one pixel), both after the same start-up.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "audio/AudioDevice.h"
#include "effects/ShowState.h"
#include "tests/support/GlContext.h"
#include "timeline/FrameClock.h"
#include "timeline/Player.h"

namespace {

using namespace glowmarch;

constexpr int fps = 60;
constexpr std::uint64_t target = 77 * fps;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Script, shaders, textures, meshes and the whole music, as the capture starts a show.
std::unique_ptr<Player> startShowcase() {
  clearShowState();
  auto player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }));
  if (player->stream) player->stream->music().waitForFrames(player->stream->music().length());
  return player;
}

std::uint64_t objectsReached(const Demoeffect& effect) {
  std::uint64_t count = 1;
  for (const Demoeffect* child : effect.children) count += objectsReached(*child);
  return count;
}

void SeekTo77(benchmark::State& state) {
  testing::GlContext gl(320, 180);
  if (!gl.ok()) {
    state.SkipWithError(gl.failure().c_str());
    return;
  }
  gl.bindTarget();
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(__FILE__).parent_path().parent_path() / "showcase");
  // The show's own output would drown the benchmark's.
  std::fflush(stdout);
  const int console = dup(STDOUT_FILENO);
  const int sink = open("/dev/null", O_WRONLY);
  dup2(sink, STDOUT_FILENO);
  double startup = 0.0, seek = 0.0, skip = 0.0;
  std::uint64_t objectSteps = 0;
  for (auto _ : state) {
    {
      FrameClock clock;
      auto start = std::chrono::steady_clock::now();
      auto player = startShowcase();
      startup = secondsSince(start);
      start = std::chrono::steady_clock::now();
      seekFrames(*player, clock, 0, target, fps);
      seek = secondsSince(start);
    }
    {
      FrameClock clock;
      auto player = startShowcase();
      const auto start = std::chrono::steady_clock::now();
      glViewport(0, 0, 1, 1);
      glScissor(0, 0, 1, 1);
      glEnable(GL_SCISSOR_TEST);
      for (std::uint64_t frame = 0; frame < target; ++frame) {
        clock.set(*player, frame, fps);
        player->runFrame();
      }
      glFinish();
      skip = secondsSince(start);
      glDisable(GL_SCISSOR_TEST);
    }
    // Untimed: how many objects the frames reach, for the cost of one object's step.
    FrameClock clock;
    auto player = startShowcase();
    objectSteps = 0;
    for (std::uint64_t frame = 0; frame < target; ++frame) {
      seekFrames(*player, clock, frame, frame + 1, fps);
      for (const Demoeffect* effect : player->scene) objectSteps += objectsReached(*effect);
    }
  }
  clearShowState();
  std::fflush(stdout);
  dup2(console, STDOUT_FILENO);
  close(console);
  close(sink);
  std::filesystem::current_path(previous);
  state.counters["startup_ms"] = startup * 1e3;
  state.counters["seek_ms"] = seek * 1e3;
  state.counters["skip_ms"] = skip * 1e3;
  state.counters["object_steps"] = static_cast<double>(objectSteps);
  state.counters["object_step_ns"] = objectSteps > 0 ? seek * 1e9 / static_cast<double>(objectSteps) : 0.0;
}

}  // namespace

BENCHMARK(SeekTo77)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
