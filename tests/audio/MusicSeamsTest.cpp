// The seams of a device stream (pause, resume, seek) as the device receives them: SDL's disk driver
// writes every sample handed out to a file, which is read back against the music sample by sample.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <thread>
#include <unordered_map>
#include <vector>

#include "audio/AudioDevice.h"

namespace glowmarch::audio {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int fade = 220;  // just under 5 ms

// Music whose every frame can be told apart: noise on the left, a 440 Hz sine of 9830 on the right.
std::vector<std::int16_t> recognisable(int frames) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
  std::uint32_t noise = 12345;
  for (int i = 0; i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    samples[2 * i] = static_cast<std::int16_t>(noise >> 16);
    const double phase = 2.0 * std::numbers::pi * 440.0 * i / sampleRate;
    samples[2 * i + 1] = static_cast<std::int16_t>(std::lround(9830.0 * std::sin(phase)));
  }
  return samples;
}

bool waitUntil(MusicStream& stream, std::uint64_t frame) {
  const auto giveUp = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < giveUp) {
    if (stream.position() / bytesPerFrame > frame) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// The runs of frames heard at full level, as [first, last] frames of the music.
struct HeardRun {
  std::uint64_t first;
  std::uint64_t last;
  std::size_t at;  // where the run starts in the recording
};

TEST(MusicSeams, PauseResumeAndSeekFadeWithinFiveMillisecondsRepeatNothingAndLandOnTheFrameSought) {
  const std::filesystem::path recording =
      std::filesystem::temp_directory_path() / ("glowmarch-seams-" + std::to_string(getpid()) + ".raw");
  SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
  SDL_setenv("SDL_DISKAUDIOFILE", recording.string().c_str(), 1);
  const int length = sampleRate * 4;
  const std::vector<std::int16_t> music = recognisable(length);
  {
    auto device = AudioDevice::openDefault();
    if (!device) GTEST_SKIP() << "SDL has no disk audio driver here: " << SDL_GetError();
    auto stream = device->createStream(DecodedMusic::fromSamples(music));
    ASSERT_TRUE(stream->play());
    ASSERT_TRUE(waitUntil(*stream, 8000));
    ASSERT_TRUE(stream->pause());
    const std::uint64_t held = stream->position() / bytesPerFrame;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(stream->position() / bytesPerFrame, held) << "the position moved while paused";
    EXPECT_EQ(stream->activity(), Activity::paused);
    ASSERT_TRUE(stream->play());
    ASSERT_TRUE(waitUntil(*stream, held + 8000));
    stream->seek(2 * sampleRate);
    EXPECT_EQ(stream->position() / bytesPerFrame, 2u * sampleRate) << "a seek is read at once";
    ASSERT_TRUE(waitUntil(*stream, 2 * sampleRate + 8000));
    ASSERT_TRUE(stream->pause());
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
  }
  SDL_setenv("SDL_DISKAUDIOFILE", "", 1);
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);

  std::vector<char> bytes;
  {
    std::ifstream in(recording, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Closed first: Windows removes no file that is still open.
  std::filesystem::remove(recording);
  std::vector<std::int16_t> heard(bytes.size() / 2);
  std::memcpy(heard.data(), bytes.data(), heard.size() * 2);
  const std::size_t frames = heard.size() / 2;
  ASSERT_GT(frames, 30000u);

  // Each frame of the music by its two noise samples and the one before.
  std::unordered_map<std::uint64_t, std::uint64_t> where;
  for (int i = 1; i < length; ++i) {
    const auto key = (static_cast<std::uint64_t>(static_cast<std::uint16_t>(music[2 * i - 2])) << 32) |
                     (static_cast<std::uint64_t>(static_cast<std::uint16_t>(music[2 * i])) << 16) |
                     static_cast<std::uint16_t>(music[2 * i + 1]);
    where.emplace(key, i);
  }
  std::vector<HeardRun> runs;
  for (std::size_t i = 1; i < frames; ++i) {
    const auto key = (static_cast<std::uint64_t>(static_cast<std::uint16_t>(heard[2 * i - 2])) << 32) |
                     (static_cast<std::uint64_t>(static_cast<std::uint16_t>(heard[2 * i])) << 16) |
                     static_cast<std::uint16_t>(heard[2 * i + 1]);
    const auto found = where.find(key);
    if (found == where.end()) continue;
    if (!runs.empty() && runs.back().last + 1 == found->second && runs.back().at + (runs.back().last - runs.back().first) + 1 == i) {
      runs.back().last = found->second;
    } else {
      runs.push_back(HeardRun{found->second, found->second, i});
    }
  }
  // Stray matches of a faded frame are one frame long.
  std::erase_if(runs, [](const HeardRun& run) { return run.last - run.first < 100; });
  ASSERT_EQ(runs.size(), 3u) << "play, resume and the seek";
  EXPECT_LE(runs[0].first, 1u);
  // Across the pause: `fade` frames fading out (the last at zero level), then the next `fade` fading
  // in; a frame is known by its predecessor too, so a run starts one frame after its full level.
  EXPECT_EQ(runs[1].first, runs[0].last + 1 + 2 * fade) << "frames heard twice or skipped across the pause";
  // The seek: the fade out goes on from where it was, the fade in starts on the frame sought.
  EXPECT_EQ(runs[2].first, 2u * sampleRate + fade);
  EXPECT_EQ(runs[2].at - (runs[1].at + (runs[1].last - runs[1].first)), static_cast<std::size_t>(2 * fade + 1))
      << "silence put into the seek's seam";

  // No click: nowhere does the sine channel step further than its own steepest step and a fade's.
  int steepest = 0;
  for (int i = 1; i < length; ++i) steepest = std::max(steepest, std::abs(music[2 * i + 1] - music[2 * i - 1]));
  for (std::size_t i = 1; i < frames; ++i) {
    ASSERT_LE(std::abs(heard[2 * i + 1] - heard[2 * i - 1]), steepest + 9830 / fade + 1) << "a click at frame " << i;
  }
  // Each fade is at most 5 ms: after the full-level run, the level is zero within `fade` frames.
  for (std::size_t r = 0; r + 1 < runs.size(); ++r) {
    const std::size_t end = runs[r].at + (runs[r].last - runs[r].first);
    if (r == 0) {
      EXPECT_EQ(heard[2 * (end + fade)], 0) << "the fade out of the pause is longer than 5 ms";
    }
  }
}

// What the edit mode does before its output closes: the music fades out and the call returns once
// only silence is left to cut.
TEST(MusicSeams, FadeOutAndWaitReturnsWithTheFadeHandedOutAndSilenceAfterIt) {
  const std::filesystem::path recording =
      std::filesystem::temp_directory_path() / ("glowmarch-quit-" + std::to_string(getpid()) + ".raw");
  SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
  SDL_setenv("SDL_DISKAUDIOFILE", recording.string().c_str(), 1);
  const std::vector<std::int16_t> music = recognisable(sampleRate * 4);
  double waited = 0.0;
  {
    auto device = AudioDevice::openDefault();
    if (!device) GTEST_SKIP() << "SDL has no disk audio driver here: " << SDL_GetError();
    auto stream = device->createStream(DecodedMusic::fromSamples(music));
    ASSERT_TRUE(stream->play());
    ASSERT_TRUE(waitUntil(*stream, 8000));
    const Clock::time_point start = Clock::now();
    stream->fadeOutAndWait();
    waited = std::chrono::duration<double>(Clock::now() - start).count();
    // Closed at once, as a program that ends.
  }
  SDL_setenv("SDL_DISKAUDIOFILE", "", 1);
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::vector<char> bytes;
  {
    std::ifstream in(recording, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(recording);
  std::vector<std::int16_t> heard(bytes.size() / 2);
  std::memcpy(heard.data(), bytes.data(), heard.size() * 2);
  const std::size_t frames = heard.size() / 2;
  ASSERT_GT(frames, 8000u);
  EXPECT_LT(waited, 0.3);

  std::size_t lastSound = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    if (heard[2 * i] != 0 || heard[2 * i + 1] != 0) lastSound = i;
  }
  EXPECT_GE(frames - lastSound, 2048u) << "less than two buffers of silence after the music";
  int steepest = 0;
  for (std::size_t i = 1; i < music.size() / 2; ++i) steepest = std::max(steepest, std::abs(music[2 * i + 1] - music[2 * i - 1]));
  for (std::size_t i = 1; i < frames; ++i) {
    ASSERT_LE(std::abs(heard[2 * i + 1] - heard[2 * i - 1]), steepest + 9830 / fade + 1) << "a click at frame " << i;
  }
}

}  // namespace
}  // namespace glowmarch::audio
