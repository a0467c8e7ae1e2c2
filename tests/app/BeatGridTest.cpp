// The beat grid on click tracks made here and encoded with lame, as a show's music would be; on drum
// tracks made here, whose every beat is known, at tempi from 90 to 180 BPM, straight and swung, with
// a tempo change; and on the showcase, whose beats lie on a half-second grid.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/edit/BeatGrid.h"
#include "audio/DecodedMusic.h"
#include "tests/app/BeatTracks.h"

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
  EXPECT_TRUE(findBeats(nullptr, 0).beats.empty());

  const std::vector<double> beats = {1.0, 2.0, 3.0};
  EXPECT_EQ(previousBeat(beats, 2.0), 1.0);
  EXPECT_EQ(previousBeat(beats, 2.5), 2.0);
  EXPECT_FALSE(previousBeat(beats, 1.0).has_value());
  EXPECT_EQ(nextBeat(beats, 2.0), 3.0);
  EXPECT_FALSE(nextBeat(beats, 3.0).has_value());
}

// How the beats found stand against the true ones from `from` to `to` seconds.
struct Accuracy {
  int beats = 0;        // true beats
  int within = 0;       // with a beat found within the tolerance
  int extra = 0;        // beats found beside no true beat, or a second one beside it
  double worst = 0.0;   // seconds, over the beats within
  double mean = 0.0;
};

Accuracy accuracy(const std::vector<double>& truth, const std::vector<double>& found, double tolerance, double from,
                  double to) {
  Accuracy a;
  std::vector<int> taken(found.size(), 0);
  for (double beat : truth) {
    if (beat < from || beat > to) continue;
    ++a.beats;
    const auto nearest = std::min_element(found.begin(), found.end(), [beat](double x, double y) {
      return std::fabs(x - beat) < std::fabs(y - beat);
    });
    if (nearest == found.end() || std::fabs(*nearest - beat) > tolerance) continue;
    ++a.within;
    ++taken[static_cast<std::size_t>(nearest - found.begin())];
    a.worst = std::max(a.worst, std::fabs(*nearest - beat));
    a.mean += std::fabs(*nearest - beat);
  }
  if (a.within > 0) a.mean /= a.within;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (found[i] >= from - tolerance && found[i] <= to + tolerance && taken[i] != 1) a.extra += std::max(1, taken[i] - 1);
  }
  return a;
}

// Tracks of one groove from 90 to 180 BPM, straight and swung: every beat found within 5 ms of the
// true one, the first bar's too, none twice. Prints each track's figures.
void everyBeatOfEveryTempo(testing::Groove groove, unsigned seed) {
  using testing::Groove;
  const char* name = groove == Groove::backbeat ? "backbeat" : "four on the floor";
  std::printf("%-17s %5s %6s %7s %9s %9s %6s\n", "groove", "BPM", "swing", "beats", "within 5", "worst ms", "mean");
  for (const double bpm : {90.0, 104.0, 122.0, 140.0, 160.0, 180.0}) {
    for (const double swing : {0.5, 0.62}) {
      ++seed;
      // The first beat anywhere in the first 0.8 s, not on a round number.
      const double start = 0.05 + 0.0731 * (seed % 11);
      const testing::BeatTrack track = testing::makeBeatTrack(bpm, swing, groove, 12.0, start, seed);
      const BeatGrid grid = findBeats(track.samples.data(), track.samples.size() / 2);
      // Beats found after the last (the pad goes on) are the grid carried on, not beats found twice.
      const Accuracy a = accuracy(track.beats, grid.beats, 0.005, track.beats.front(), track.beats.back());
      std::printf("%-17s %5.0f %6.2f %7d %9d %9.2f %6.2f\n", name, bpm, swing, a.beats, a.within, a.worst * 1000.0,
                  a.mean * 1000.0);
      EXPECT_EQ(a.within, a.beats) << name << ", " << bpm << " BPM, swing " << swing;
      EXPECT_EQ(a.extra, 0) << name << ", " << bpm << " BPM, swing " << swing;
    }
  }
}

TEST(BeatGrid, FourOnTheFloorFrom90To180BpmStraightAndSwungHasEveryBeatWithin5MsAndNoneTwice) {
  everyBeatOfEveryTempo(testing::Groove::fourOnTheFloor, 1);
}

TEST(BeatGrid, BackbeatFrom90To180BpmStraightAndSwungHasEveryBeatWithin5MsAndNoneTwice) {
  everyBeatOfEveryTempo(testing::Groove::backbeat, 101);
}

TEST(BeatGrid, ATempoChangeIsFollowedWithinTwoBeats) {
  const testing::BeatTrack before = testing::makeBeatTrack(100.0, 0.5, testing::Groove::fourOnTheFloor, 16.0, 0.2, 3);
  const testing::BeatTrack after = testing::makeBeatTrack(128.0, 0.6, testing::Groove::backbeat, 16.0, 0.1, 4);
  std::vector<std::int16_t> samples = before.samples;
  samples.insert(samples.end(), after.samples.begin(), after.samples.end());
  std::vector<double> truth = before.beats;
  for (double beat : after.beats) truth.push_back(16.0 + beat);
  const BeatGrid grid = findBeats(samples.data(), samples.size() / 2);
  const Accuracy a = accuracy(truth, grid.beats, 0.005, truth.front(), truth.back());
  EXPECT_GE(a.within, a.beats - 2);
  EXPECT_EQ(a.extra, 0);
}

// The showcase's music is 120 BPM with beats on every half second, drums from 8 to 40 s and from 48
// to 72 s.
TEST(BeatGrid, ShowcaseBeatsLieOnItsHalfSecondGridWhereItHasDrums) {
  const auto music = audio::DecodedMusic::open(GLOWMARCH_SOURCE_DIR "/showcase/data/music/QX07Synthpop_FINAL.mp3");
  ASSERT_NE(music, nullptr);
  const std::uint64_t decoded = music->waitForFrames(UINT64_MAX);
  const BeatGrid grid = findBeats(music->samples(), decoded);
  std::vector<double> halfSeconds;
  for (int i = 0; i < 156; ++i) halfSeconds.push_back(0.5 * i);
  const Accuracy verse = accuracy(halfSeconds, grid.beats, 0.010, 8.0, 39.5);
  const Accuracy drop = accuracy(halfSeconds, grid.beats, 0.010, 48.0, 71.5);
  const Accuracy whole = accuracy(halfSeconds, grid.beats, 0.010, 0.0, 77.5);
  std::printf("showcase: %zu beats; with drums %d of %d within 10 ms (worst %.2f ms), %d beside the grid; "
              "over the whole music %d of %d\n",
              grid.beats.size(), verse.within + drop.within, verse.beats + drop.beats,
              std::max(verse.worst, drop.worst) * 1000.0, verse.extra + drop.extra, whole.within, whole.beats);
  EXPECT_GE((verse.within + drop.within) * 100, (verse.beats + drop.beats) * 95);
  EXPECT_EQ(verse.extra + drop.extra, 0);
}

}  // namespace
}  // namespace glowmarch
