// Reading, listing and running a 100,000-line script, against merely reading it and cutting it into lines.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "effects/EffectRegistry.h"
#include "tests/support/GlContext.h"
#include "timeline/Player.h"

namespace {

constexpr int lineCount = 100000;

// A script of groups being created, attached, placed and tweened, all due at start-up.
std::filesystem::path writeScript() {
  const auto folder = std::filesystem::temp_directory_path() / "glowmarch-bench-script";
  std::filesystem::create_directories(folder / "data");
  std::ofstream out(folder / "data/vesperscript.txt", std::ios::binary);
  out << "-10 root new demoeffect\n-10 SCENE append root\n";
  for (int i = 0; i < lineCount - 2; ++i) {
    const std::string name = "g" + std::to_string(i % 500);
    switch (i % 8) {
      case 0: out << "-9 " << name << " new demoeffect\n"; break;
      case 1: out << "-8 " << name << " setpoint 1.5 -2 " << i << "\n"; break;
      case 2: out << "-7," << name << ",movepoint,0,1,2,4\n"; break;
      case 3: out << "-6 " << name << " rotatepoint 0.25 0.5 0 2\n"; break;
      case 4: out << "-5 " << name << " state " << (i & 7) << "\n"; break;
      case 5: out << "# comment line " << i << "\n"; break;
      case 6: out << "-4 " << name << " scale 1.25\n"; break;
      default: out << "-3 " << name << " deltadirection 0 0 0.1\n"; break;
    }
  }
  return folder;
}

struct Fixture {
  Fixture() : folder(writeScript()), gl(64, 64) {
    std::filesystem::current_path(folder);
  }
  std::filesystem::path folder;
  glowmarch::testing::GlContext gl;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void ReadAndSplit(benchmark::State& state) {
  fixture();
  for (auto _ : state) {
    std::unique_ptr<char[]> buffer;
    std::uint64_t size = 0;
    glowmarch::readScriptFile(buffer, size);
    auto lines = glowmarch::splitScript(buffer.get(), size);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetItemsProcessed(state.iterations() * lineCount);
}
BENCHMARK(ReadAndSplit)->Unit(benchmark::kMillisecond);

void ParseListAndExecute(benchmark::State& state) {
  if (!fixture().gl.ok()) {
    state.SkipWithError("no GL context");
    return;
  }
  // The listing is part of the work, but not the terminal's time to show it.
  std::fflush(stdout);
  const int savedStdout = dup(1);
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, 1);
  for (auto _ : state) {
    glowmarch::Player player{glowmarch::Player::NotStarted{}};
    player.init();
    benchmark::DoNotOptimize(player.scene.data());
    state.PauseTiming();
    glowmarch::effects.clear();
    state.ResumeTiming();
  }
  std::fflush(stdout);
  dup2(savedStdout, 1);
  close(savedStdout);
  close(devNull);
  state.SetItemsProcessed(state.iterations() * lineCount);
}
BENCHMARK(ParseListAndExecute)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
