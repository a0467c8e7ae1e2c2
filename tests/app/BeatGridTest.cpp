// The beat grid on click tracks made here and encoded with lame, as a show's music would be.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/edit/BeatGrid.h"
#include "audio/DecodedMusic.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

TEST(BeatGrid, BeatsOfClickTracksAt90And128And174BpmLieOnTheClicks) {
  const fs::path folder = fs::temp_directory_path() / ("glowmarch-beats-" + std::to_string(getpid()));
  fs::create_directories(folder);
  for (const double bpm : {90.0, 128.0, 174.0}) {
    const double period = 60.0 / bpm;
    const int frames = 44100 * 20;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2, 0);
    std::vector<double> clicks;
    for (double at = 0.5; at < 19.5; at += period) {
      clicks.push_back(at);
      const int first = static_cast<int>(std::lround(at * 44100));
      // A 10 ms burst of 2 kHz, falling away fast: a click.
      for (int i = 0; i < 441; ++i) {
        const double level = 20000.0 * std::exp(-i / 80.0) * std::sin(2.0 * M_PI * 2000.0 * i / 44100.0);
        pcm[2 * (first + i)] = pcm[2 * (first + i) + 1] = static_cast<std::int16_t>(level);
      }
    }
    const fs::path raw = folder / "clicks.raw";
    const fs::path mp3 = folder / "clicks.mp3";
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()), pcm.size() * 2);
    const std::string encode = "lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -b 192 '" +
                               raw.string() + "' '" + mp3.string() + "'";
    if (std::system(encode.c_str()) != 0) GTEST_SKIP() << "lame could not encode the click track";
    const auto music = audio::DecodedMusic::open(mp3.c_str());
    ASSERT_NE(music, nullptr);
    const std::uint64_t decoded = music->waitForFrames(UINT64_MAX);
    const BeatGrid grid = findBeats(music->samples(), decoded);

    auto nearest = [](const std::vector<double>& in, double t) {
      double best = 1e9;
      for (double x : in) best = std::min(best, std::fabs(x - t));
      return best;
    };
    int onClick = 0;
    for (double beat : grid.beats) onClick += nearest(clicks, beat) <= 0.010 ? 1 : 0;
    int missed = 0;
    for (double click : clicks) missed += click > 2.0 && nearest(grid.beats, click) > 0.010 ? 1 : 0;
    ASSERT_FALSE(grid.beats.empty()) << bpm << " BPM";
    EXPECT_GE(onClick, static_cast<int>(std::ceil(0.95 * static_cast<double>(grid.beats.size()))))
        << bpm << " BPM: " << onClick << " of " << grid.beats.size() << " beats within 10 ms of a click";
    EXPECT_EQ(missed, 0) << bpm << " BPM: clicks after 2 s without a beat";
  }
  fs::remove_all(folder);

  // Too short or silent: nothing, and no error.
  const std::vector<std::int16_t> silence(44100 * 2 * 3, 0);
  EXPECT_TRUE(findBeats(silence.data(), 44100 * 3).beats.empty());
  EXPECT_TRUE(findBeats(silence.data(), 100).beats.empty());
  EXPECT_TRUE(findBeats(nullptr, 0).onsets.empty());

  const std::vector<double> beats = {1.0, 2.0, 3.0};
  EXPECT_EQ(previousBeat(beats, 2.0), 1.0);
  EXPECT_EQ(previousBeat(beats, 2.5), 2.0);
  EXPECT_FALSE(previousBeat(beats, 1.0).has_value());
  EXPECT_EQ(nextBeat(beats, 2.0), 3.0);
  EXPECT_FALSE(nextBeat(beats, 3.0).has_value());
}

}  // namespace
}  // namespace glowmarch
namespace glowmarch {

// A figure, not a check: the showcase's music is 120 BPM with beats on every half second, drums from
// 8 to 40 s and from 48 to 72 s. Run with --gtest_also_run_disabled_tests.
TEST(BeatGridFigures, DISABLED_ShowcaseBeatsAgainstItsHalfSecondGrid) {
  const auto music = audio::DecodedMusic::open(GLOWMARCH_SOURCE_DIR "/showcase/data/music/QX07Synthpop_FINAL.mp3");
  ASSERT_NE(music, nullptr);
  const std::uint64_t decoded = music->waitForFrames(UINT64_MAX);
  const BeatGrid grid = findBeats(music->samples(), decoded);
  auto onGrid = [](double beat) { return std::fabs(beat - 0.5 * std::round(beat / 0.5)) <= 0.010; };
  int on = 0;
  int drumBeats = 0;
  int drumOn = 0;
  for (double beat : grid.beats) {
    on += onGrid(beat) ? 1 : 0;
    if ((beat >= 8.0 && beat < 40.0) || (beat >= 48.0 && beat < 72.0)) {
      ++drumBeats;
      drumOn += onGrid(beat) ? 1 : 0;
    }
  }
  std::printf("showcase: %zu beats, %d within 10 ms of the grid (%.1f %%); with drums %d beats, %d within 10 ms (%.1f %%)\n",
              grid.beats.size(), on, 100.0 * on / static_cast<double>(grid.beats.size()), drumBeats, drumOn,
              drumBeats > 0 ? 100.0 * drumOn / drumBeats : 0.0);
}

}  // namespace glowmarch
