// The per-frame particle layout over 10,000 particles (town sine, tube sinepulse, town burn), each
// against its floor: a bare loop doing the same sines, cosines and random draws into a flat array.
// The ratio of the two is printed at the end; the goal is at most 1.5.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "effects/ParticleLayout.h"
#include "effects/Particles.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Counts every allocation, to show that a layout pass makes none. Kept out of line so that the
// compiler does not see malloc paired with a delete expression.
__attribute__((noinline)) void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using glowmarch::Particles;

constexpr int side = 100;
constexpr int particleCount = side * side;
constexpr double frameDelta = 1.0 / 60.0;
constexpr double twoPi = 2.0 * std::numbers::pi;

struct Field {
  glowmarch::Demoeffect model;
  Particles particles;
  double time = 0.0;

  Field(std::int32_t type, std::int32_t anim) {
    particles.countX = side;
    particles.countY = side;
    particles.type = type;
    particles.anim = anim;
    glowmarch::initParticles(particles, model);
    // A fountain in its steady state: particles of every age, some reborn in each pass.
    for (int pass = 0; pass < 600; ++pass) step();
  }
  void step() {
    // Six seconds over and over: the pulse runs through all hundred rows (five seconds) and rests.
    time = std::fmod(time + frameDelta, 6.0);
    glowmarch::layoutParticles(particles, time, frameDelta);
  }
};

void runLayout(benchmark::State& state, std::int32_t type, std::int32_t anim) {
  Field field(type, anim);
  long before = allocations.load();
  for (auto _ : state) {
    field.step();
    benchmark::ClobberMemory();
  }
  const long made = allocations.load() - before;
  state.SetItemsProcessed(state.iterations() * particleCount);
  state.counters["allocations"] = static_cast<double>(made);
  if (made != 0) state.SkipWithError("the layout allocated");
}

void TownSine(benchmark::State& state) { runLayout(state, Particles::town, Particles::sine); }
void TubeSinepulse(benchmark::State& state) { runLayout(state, Particles::tube, Particles::sinepulse); }
void TownBurn(benchmark::State& state) { runLayout(state, Particles::town, Particles::burn); }

// The floors: the same transcendental calls and random draws per particle, nothing else.
void TownSineFloor(benchmark::State& state) {
  std::vector<float> heights(particleCount);
  double time = 0.0;
  for (auto _ : state) {
    time = std::fmod(time + frameDelta, 6.0);
    for (int i = 0; i < particleCount; ++i) {
      const double dr = i / side - side / 2;
      const double dc = i % side - side / 2;
      heights[static_cast<std::size_t>(i)] =
          static_cast<float>(3.0 * std::sin(0.5 * std::sqrt(dr * dr + dc * dc) + 3.0 * time));
    }
    benchmark::DoNotOptimize(heights.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * particleCount);
}

void TubeSinepulseFloor(benchmark::State& state) {
  std::vector<float> ring(static_cast<std::size_t>(particleCount) * 2);
  double time = 0.0;
  for (auto _ : state) {
    time = std::fmod(time + frameDelta, 6.0);
    for (int i = 0; i < particleCount; ++i) {
      const float lag = static_cast<float>(i / side) * 0.05f;
      const float u = std::clamp(static_cast<float>(time * 2.0 - lag) / 1.5f, 0.0f, 1.0f);
      const double radius = 3.5 - 2.5 * std::cos(twoPi * u);
      const double theta = i % side * twoPi / side;
      ring[static_cast<std::size_t>(i) * 2] = static_cast<float>(std::sin(theta) * radius);
      ring[static_cast<std::size_t>(i) * 2 + 1] = static_cast<float>(-(std::cos(theta) * radius));
    }
    benchmark::DoNotOptimize(ring.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * particleCount);
}

// As many draws per pass as the fountain makes in its steady state: two per particle, three more per rebirth.
double burnDrawsPerPass() {
  Field field(Particles::town, Particles::burn);
  constexpr int passes = 600;
  long rebirths = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (const glowmarch::Demoeffect* p : field.particles.children) rebirths += p->scale < 0.01f ? 1 : 0;
    field.step();
  }
  return 2.0 * particleCount + 3.0 * static_cast<double>(rebirths) / passes;
}

void TownBurnFloor(benchmark::State& state) {
  static const long draws = static_cast<long>(burnDrawsPerPass());
  std::vector<float> values(particleCount);
  for (auto _ : state) {
    for (long d = 0; d < draws; ++d) {
      values[static_cast<std::size_t>(d % particleCount)] += static_cast<float>(glowmarch::particleRandom());
    }
    benchmark::DoNotOptimize(values.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * particleCount);
  state.counters["draws_per_pass"] = static_cast<double>(draws);
}

BENCHMARK(TownSine)->Unit(benchmark::kMicrosecond);
BENCHMARK(TownSineFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(TubeSinepulse)->Unit(benchmark::kMicrosecond);
BENCHMARK(TubeSinepulseFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(TownBurn)->Unit(benchmark::kMicrosecond);
BENCHMARK(TownBurnFloor)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then each layout's time per particle against its floor's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      // The fastest repetition: the machine's other work only ever adds time.
      const double nanoseconds = run.GetAdjustedCPUTime() * 1000.0;  // reported in us
      const std::string name = run.run_name.function_name;
      const auto known = nanosecondsPerPass.find(name);
      if (known == nanosecondsPerPass.end() || nanoseconds < known->second) nanosecondsPerPass[name] = nanoseconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-16s %12s %12s %8s\n", "layout", "ns/particle", "floor ns", "ratio");
    for (const char* name : {"TownSine", "TubeSinepulse", "TownBurn"}) {
      const auto layout = nanosecondsPerPass.find(name);
      const auto floor = nanosecondsPerPass.find(std::string(name) + "Floor");
      if (layout == nanosecondsPerPass.end() || floor == nanosecondsPerPass.end()) continue;
      const double perParticle = layout->second / particleCount;
      const double floorPerParticle = floor->second / particleCount;
      std::printf("%-16s %12.2f %12.2f %8.2f\n", name, perParticle, floorPerParticle, perParticle / floorPerParticle);
    }
    std::printf("goal: ratio at most 1.50\n");
  }

 private:
  std::map<std::string, double> nanosecondsPerPass;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
