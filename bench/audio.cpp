// The music's costs: how soon a 3-minute MP3 can start (pre-scan), how long it takes to decode
// whole, the per-frame spectrum (goal: FFT and weighting under 20 us), and how smooth and how
// close to the device's consumption the audible position runs on SDL's dummy driver. The floors of
// the first two: libmpg123 alone doing the same scan, and the same decode on the calling thread.
// A 5-minute 48 kHz MP3 decoded whole and resampled to 44.1 kHz (goal: at most 1.5 times the
// decode alone at its own rate).
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "timeline/FrameLoop.h"

namespace {

using namespace glowmarch;

// Made once with sox and lame (not needed by the tests), kept in the temporary folder. Broadband
// content, so the decoder does a real piece's work: pink noise under a sweeping tone.
std::string makeMp3(const char* name, int rate, int seconds) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / name;
  if (std::filesystem::exists(file)) return file.string();
  if (std::system("command -v sox >/dev/null && command -v lame >/dev/null") != 0) return std::string();
  const std::string partial = file.string() + ".part";
  const std::string length = std::to_string(seconds);
  const std::string command = "sox -q -n -r " + std::to_string(rate) + " -c 2 -b 16 -t wav - synth " + length +
                              " pinknoise synth " + length + " sine mix 220-1760 vol 0.4 2>/dev/null | lame --quiet --cbr -b 192 - '" +
                              partial + "' && mv '" + partial + "' '" + file.string() + "'";
  if (std::system(command.c_str()) != 0) return std::string();
  return file.string();
}

const std::string& threeMinuteMp3() {
  static const std::string path = makeMp3("glowmarch-bench-3min.mp3", audio::sampleRate, 180);
  return path;
}

const std::string& fiveMinute48kHzMp3() {
  static const std::string path = makeMp3("glowmarch-bench-5min-48k.mp3", 48000, 300);
  return path;
}

bool haveMusic(benchmark::State& state, const std::string& path = threeMinuteMp3()) {
  if (!path.empty()) return true;
  state.SkipWithError("no test MP3: install sox and lame (apt-get install sox lame) to make one");
  return false;
}

// Time until playback may begin: open, pre-scan, decoder thread started.
void PreScan(benchmark::State& state) {
  if (!haveMusic(state)) return;
  std::uint64_t frames = 0;
  for (auto _ : state) {
    auto music = audio::DecodedMusic::open(threeMinuteMp3().c_str());
    frames = music ? music->length() : 0;
    state.PauseTiming();
    music.reset();
    state.ResumeTiming();
  }
  state.counters["seconds_of_music"] = static_cast<double>(frames) / audio::sampleRate;
}
BENCHMARK(PreScan)->Unit(benchmark::kMillisecond);

void DecodeWhole(benchmark::State& state) {
  if (!haveMusic(state)) return;
  std::uint64_t frames = 0;
  for (auto _ : state) {
    auto music = audio::DecodedMusic::open(threeMinuteMp3().c_str());
    frames = music->waitForFrames(music->length());
  }
  state.counters["seconds_of_music"] = static_cast<double>(frames) / audio::sampleRate;
  state.counters["music_seconds_per_second"] =
      benchmark::Counter(static_cast<double>(frames) / audio::sampleRate * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(DecodeWhole)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// libmpg123 set up as the player sets up 44.1 kHz music: stereo 16-bit, gapless, here at `rate`.
mpg123_handle* openBare(const char* path, long rate = audio::sampleRate) {
  int error = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (handle == nullptr) return nullptr;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
  mpg123_format_none(handle);
  if (mpg123_format(handle, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK ||
      mpg123_open(handle, path) != MPG123_OK || mpg123_scan(handle) != MPG123_OK) {
    mpg123_delete(handle);
    return nullptr;
  }
  return handle;
}

void PreScanFloor(benchmark::State& state) {
  if (!haveMusic(state)) return;
  off_t frames = 0;
  for (auto _ : state) {
    mpg123_handle* handle = openBare(threeMinuteMp3().c_str());
    frames = handle != nullptr ? mpg123_length(handle) : 0;
    mpg123_delete(handle);
  }
  state.counters["seconds_of_music"] = static_cast<double>(frames) / audio::sampleRate;
}
BENCHMARK(PreScanFloor)->Unit(benchmark::kMillisecond);

// The same decode on the calling thread with libmpg123 alone, at the file's own rate.
std::size_t decodeBare(benchmark::State& state, const std::string& path, long rate) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    mpg123_handle* handle = openBare(path.c_str(), rate);
    if (handle == nullptr) {
      state.SkipWithError("libmpg123 cannot open the MP3");
      return 0;
    }
    std::vector<unsigned char> pcm(static_cast<std::size_t>(mpg123_length(handle)) * 4);
    bytes = 0;
    for (;;) {
      std::size_t done = 0;
      const int result = mpg123_read(handle, pcm.data() + bytes, std::min<std::size_t>(pcm.size() - bytes, 1 << 16), &done);
      bytes += done;
      if ((result != MPG123_OK && result != MPG123_NEW_FORMAT) || bytes == pcm.size()) break;
    }
    mpg123_delete(handle);
    benchmark::DoNotOptimize(pcm.data());
  }
  return bytes / 4;
}

void DecodeWholeFloor(benchmark::State& state) {
  if (!haveMusic(state)) return;
  const std::size_t frames = decodeBare(state, threeMinuteMp3(), audio::sampleRate);
  state.counters["seconds_of_music"] = static_cast<double>(frames) / audio::sampleRate;
}
BENCHMARK(DecodeWholeFloor)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Decoded at 48 kHz and resampled to 44.1 kHz, until the last frame is in. The time is the wall
// clock's; the processor time is that of every thread (decoder and resampler).
void DecodeWhole48kHz(benchmark::State& state) {
  if (!haveMusic(state, fiveMinute48kHzMp3())) return;
  std::uint64_t frames = 0;
  for (auto _ : state) {
    auto music = audio::DecodedMusic::open(fiveMinute48kHzMp3().c_str());
    frames = music->waitForFrames(music->length());
  }
  state.counters["seconds_of_music"] = static_cast<double>(frames) / audio::sampleRate;
}
BENCHMARK(DecodeWhole48kHz)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();

void DecodeWhole48kHzFloor(benchmark::State& state) {
  if (!haveMusic(state, fiveMinute48kHzMp3())) return;
  const std::size_t frames = decodeBare(state, fiveMinute48kHzMp3(), 48000);
  state.counters["seconds_of_music"] = static_cast<double>(frames) / 48000;
}
BENCHMARK(DecodeWhole48kHzFloor)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();

// What runFrame does for the spectrum: 512 frames at the position, FFT, magnitudes, weighting.
void SpectrumPerFrame(benchmark::State& state) {
  std::vector<std::int16_t> pcm(2 * 10 * audio::sampleRate);
  for (std::size_t i = 0; i < pcm.size(); ++i) {
    pcm[i] = static_cast<std::int16_t>(12000.0 * std::sin(0.05 * static_cast<double>(i / 2)) + (i * 7919) % 2001 - 1000);
  }
  audio::ManualDevice device;
  auto stream = device.createStream(audio::DecodedMusic::fromSamples(std::move(pcm)));
  auto& manual = dynamic_cast<audio::ManualStream&>(*stream);
  stream->play();
  std::uint64_t frame = 4096;
  for (auto _ : state) {
    manual.setFrame(frame);
    stream->spectrum(musicData);
    weightSpectrum(musicData);
    benchmark::DoNotOptimize(musicData);
    frame = frame + 735 < 9 * audio::sampleRate ? frame + 735 : 4096;  // one 60 fps frame on
  }
}
BENCHMARK(SpectrumPerFrame)->Unit(benchmark::kMicrosecond);

// Not a speed: reads the audible position every millisecond for 3 s on the dummy driver and
// reports how it runs. rate_vs_wall_clock: music seconds per wall-clock second (the driver's own
// pace); jitter_ms and jitter_median_ms: the largest and the median distance of a reading from the
// straight line through all of them (this includes the driver thread's own scheduling delays);
// held_ms: the longest time the position stood still; backward_steps must be 0.
void AudiblePosition(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto device = audio::AudioDevice::openDefault();
  if (!device) {
    state.SkipWithError("no SDL audio device, not even the dummy driver");
    return;
  }
  using Clock = std::chrono::steady_clock;
  struct Reading {
    double time;
    double seconds;
  };
  std::vector<Reading> readings;
  int backward = 0;
  for (auto _ : state) {
    auto stream = device->createStream(
        audio::DecodedMusic::fromSamples(std::vector<std::int16_t>(2 * 10 * audio::sampleRate, 0)));
    stream->play();
    const Clock::time_point start = Clock::now();
    double last = 0.0;
    while (Clock::now() - start < std::chrono::seconds(3)) {
      const double seconds = stream->positionSeconds();
      const double time = std::chrono::duration<double>(Clock::now() - start).count();
      if (seconds < last) ++backward;
      last = seconds;
      readings.push_back({time, seconds});
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // Least-squares line through the readings after the first callback.
  std::vector<Reading> moving;
  for (const Reading& r : readings) {
    if (r.seconds > 0.0) moving.push_back(r);
  }
  if (moving.size() < 10) {
    state.SkipWithError("the position did not move");
    return;
  }
  double st = 0, ss = 0, stt = 0, sts = 0;
  for (const Reading& r : moving) {
    st += r.time;
    ss += r.seconds;
    stt += r.time * r.time;
    sts += r.time * r.seconds;
  }
  const double n = static_cast<double>(moving.size());
  const double slope = (n * sts - st * ss) / (n * stt - st * st);
  const double offset = (ss - slope * st) / n;
  std::vector<double> distances;
  double held = 0.0;
  double heldSince = moving.front().time;
  for (std::size_t i = 0; i < moving.size(); ++i) {
    distances.push_back(std::abs(moving[i].seconds - (slope * moving[i].time + offset)));
    if (i > 0 && moving[i].seconds != moving[i - 1].seconds) heldSince = moving[i].time;
    held = std::max(held, moving[i].time - heldSince);
  }
  std::sort(distances.begin(), distances.end());
  const double jitter = distances.back();
  state.counters["jitter_median_ms"] = distances[distances.size() / 2] * 1000.0;
  state.counters["rate_vs_wall_clock"] = slope;
  state.counters["jitter_ms"] = jitter * 1000.0;
  state.counters["held_ms"] = held * 1000.0;
  state.counters["backward_steps"] = backward;
  state.counters["readings"] = n;
}
BENCHMARK(AudiblePosition)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
