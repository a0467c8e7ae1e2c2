#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <sys/stat.h>

#include "audio/DecodedMusic.h"
#include "tests/support/TestShow.h"

namespace glowmarch::audio {
namespace {

const std::string fixtures = GLOWMARCH_SOURCE_DIR "/tests/audio/fixtures/";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int peak(const DecodedMusic& music, int channel) {
  int highest = 0;
  for (std::uint64_t i = 0; i < music.decodedFrames(); ++i) {
    highest = std::max(highest, std::abs(static_cast<int>(music.samples()[i * channelCount + channel])));
  }
  return highest;
}

TEST(DecodedMusic, PreScanGivesTheExactGaplessLengthBeforeDecodingEnds) {
  auto music = DecodedMusic::open((fixtures + "tone440.mp3").c_str());
  ASSERT_NE(music, nullptr);
  // One second at 44.1 kHz, without the encoder's delay and padding, known at open.
  EXPECT_EQ(music->length(), 44100u);
  EXPECT_EQ(music->waitForFrames(44100), 44100u);
  EXPECT_EQ(music->waitForFrames(44101), 44100u);  // past the end: returns once decoding is over
  EXPECT_TRUE(music->complete());
  EXPECT_EQ(music->decodedFrames(), 44100u);
  // A half-scale sine on both channels.
  EXPECT_NEAR(peak(*music, 0), 16384, 1200);
  EXPECT_NEAR(peak(*music, 1), 16384, 1200);
}

TEST(DecodedMusic, MonoAndOtherRatesComeOutAsStereoAt44100Hz) {
  auto music = DecodedMusic::open((fixtures + "mono48k.mp3").c_str());
  ASSERT_NE(music, nullptr);
  music->waitForFrames(music->length());
  EXPECT_NEAR(static_cast<double>(music->length()), 44100.0, 2.0);
  EXPECT_EQ(music->decodedFrames(), music->length());
  for (std::uint64_t i = 0; i < music->decodedFrames(); ++i) {
    ASSERT_EQ(music->samples()[2 * i], music->samples()[2 * i + 1]) << "frame " << i;
  }
  EXPECT_NEAR(peak(*music, 0), 16384, 1200);
}

TEST(DecodedMusic, MissingEmptyFolderAndNonMpegFilesFailWithoutACrash) {
  testing::ScratchFolder folder;
  folder.write("empty.mp3", "");
  folder.write("text.mp3", "0 cam new camera\n1 cam setpoint 0 0 0\n");
  std::string noise(100000, '\0');
  std::mt19937 random(5);
  for (char& c : noise) c = static_cast<char>(random());
  folder.write("noise.mp3", noise);
  std::filesystem::create_directories(folder.path() / "folder.mp3");

  EXPECT_EQ(DecodedMusic::open(nullptr), nullptr);
  EXPECT_EQ(DecodedMusic::open("missing.mp3"), nullptr);
  EXPECT_EQ(DecodedMusic::open("empty.mp3"), nullptr);
  EXPECT_EQ(DecodedMusic::open("text.mp3"), nullptr);
  EXPECT_EQ(DecodedMusic::open("noise.mp3"), nullptr);
  EXPECT_EQ(DecodedMusic::open("folder.mp3"), nullptr);
}

#ifndef _WIN32  // named pipes in the file system are POSIX's
TEST(DecodedMusic, APipeFailsWithoutAWaitForAWriter) {
  testing::ScratchFolder folder;
  ASSERT_EQ(mkfifo((folder.path() / "pipe.mp3").c_str(), 0600), 0);
  EXPECT_EQ(DecodedMusic::open("pipe.mp3"), nullptr);
}
#endif

TEST(DecodedMusic, DamagedFilesPlayWhatCanBeDecoded) {
  testing::ScratchFolder folder;
  const std::string whole = readFile(fixtures + "tone440.mp3");
  ASSERT_GT(whole.size(), 8000u);
  folder.write("cut.mp3", whole.substr(0, whole.size() / 2));
  std::string holed = whole;
  std::mt19937 random(9);
  for (std::size_t i = 3000; i < 6000; ++i) holed[i] = static_cast<char>(random());
  folder.write("holed.mp3", holed);

  for (const char* name : {"cut.mp3", "holed.mp3"}) {
    auto music = DecodedMusic::open(name);
    ASSERT_NE(music, nullptr) << name;
    EXPECT_GT(music->length(), 0u) << name;
    EXPECT_LT(music->length(), 44100u) << name;
    music->waitForFrames(44100);
    EXPECT_TRUE(music->complete()) << name;
    // Whatever the scan promised, the length ends as what was decoded.
    EXPECT_EQ(music->length(), music->decodedFrames()) << name;
  }
}

TEST(DecodedMusic, FreeingDuringDecodingStopsTheDecoder) {
  for (int i = 0; i < 20; ++i) {
    // At 48 kHz a second thread resamples; both must stop.
    auto music = DecodedMusic::open((fixtures + (i % 2 == 0 ? "tone440.mp3" : "mono48k.mp3")).c_str());
    ASSERT_NE(music, nullptr);
    music.reset();  // mid-decode most of the time; must join, not crash or leak
  }
}

TEST(DecodedMusic, SamplesInMemoryAreCompleteAtOnce) {
  auto music = DecodedMusic::fromSamples({1, 2, 3, 4, 5, 6, 7});  // the odd sample is no frame
  EXPECT_TRUE(music->complete());
  EXPECT_EQ(music->length(), 3u);
  EXPECT_EQ(music->waitForFrames(100), 3u);
  EXPECT_EQ(music->samples()[5], 6);
}

}  // namespace
}  // namespace glowmarch::audio
