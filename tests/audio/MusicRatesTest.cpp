// Music at every rate on the 44.1 kHz clock: MP3s made here with lame from a click train over a
// 1 kHz tone, decoded, and the clicks and the tone measured.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "audio/DecodedMusic.h"
#include "tests/support/TestShow.h"

namespace glowmarch::audio {
namespace {

constexpr double seconds = 3.0;
constexpr int clicks = 5;  // at 0.5, 1.0, ... 2.5 s

// Raw 16-bit little-endian stereo: a 1 kHz tone (opposite on the right, so crossed channels
// would show) and a one-sample click on both channels every half second.
std::string clickTrain(int rate) {
  std::string bytes;
  for (int n = 0; n < seconds * rate; ++n) {
    const double tone = 0.25 * std::cos(2.0 * std::numbers::pi * 1000.0 * n / rate);
    const double click = n > 0 && n % (rate / 2) == 0 ? 0.6 : 0.0;
    for (double value : {click + tone, click - tone}) {
      const auto sample = static_cast<std::uint16_t>(std::lround(32767.0 * value));
      bytes += {static_cast<char>(sample & 0xff), static_cast<char>(sample >> 8)};
    }
  }
  return bytes;
}

// Encodes with lame into the scratch folder and returns the file's name.
std::string encode(int rate, int kbps) {
  const std::string name = "clicks" + std::to_string(rate);
  std::ofstream(name + ".raw", std::ios::binary) << clickTrain(rate);
  const std::string command = "lame --quiet -r -s " + std::to_string(rate / 1000.0) +
                              " --signed --bitwidth 16 --little-endian --cbr -b " + std::to_string(kbps) + " " + name +
                              ".raw " + name + ".mp3 2>/dev/null";  // quiet about raw input through libsndfile
  EXPECT_EQ(std::system(command.c_str()), 0) << "lame is needed (scripts/setup installs it)";
  return name + ".mp3";
}

struct Measured {
  double sinad = 0.0;        // dB, the tone against everything else between the clicks
  double worstOffset = 0.0;  // samples, the click farthest from k * 0.5 s
};

// Fits the 1 kHz tone away from the clicks, then finds each click's peak in what the tone leaves.
Measured measure(const DecodedMusic& music, int channel) {
  const std::uint64_t length = music.decodedFrames();
  const double omega = 2.0 * std::numbers::pi * 1000.0 / sampleRate;
  auto sample = [&](std::uint64_t n) { return static_cast<double>(music.samples()[n * channelCount + channel]); };
  auto quiet = [&](std::uint64_t n) {
    const std::uint64_t half = sampleRate / 2;
    const std::uint64_t fromClick = std::min(n % half, half - n % half);
    return fromClick > sampleRate / 20 && n > sampleRate / 20 && n + sampleRate / 20 < length;
  };
  double cc = 0, ss = 0, cs = 0, yc = 0, ys = 0;
  for (std::uint64_t n = 0; n < length; ++n) {
    if (!quiet(n)) continue;
    const double c = std::cos(omega * n), s = std::sin(omega * n), y = sample(n);
    cc += c * c, ss += s * s, cs += c * s, yc += y * c, ys += y * s;
  }
  const double det = cc * ss - cs * cs;
  const double a = (yc * ss - ys * cs) / det, b = (ys * cc - yc * cs) / det;
  auto tone = [&](std::uint64_t n) { return a * std::cos(omega * n) + b * std::sin(omega * n); };
  double signal = 0, noise = 0;
  for (std::uint64_t n = 0; n < length; ++n) {
    if (!quiet(n)) continue;
    signal += tone(n) * tone(n);
    noise += (sample(n) - tone(n)) * (sample(n) - tone(n));
  }
  Measured result;
  result.sinad = 10.0 * std::log10(signal / std::max(noise, 1e-9));
  for (int k = 1; k <= clicks; ++k) {
    const std::uint64_t at = static_cast<std::uint64_t>(k) * sampleRate / 2;
    if (at + 40 >= length) {
      result.worstOffset = 1e9;
      break;
    }
    std::uint64_t best = at - 40;
    for (std::uint64_t n = at - 40; n <= at + 40; ++n) {
      if (sample(n) - tone(n) > sample(best) - tone(best)) best = n;
    }
    const double before = sample(best - 1) - tone(best - 1), peak = sample(best) - tone(best),
                 after = sample(best + 1) - tone(best + 1);
    const double offset = static_cast<double>(best) + 0.5 * (before - after) / (before - 2 * peak + after) - static_cast<double>(at);
    if (std::abs(offset) > std::abs(result.worstOffset)) result.worstOffset = offset;
  }
  return result;
}

std::shared_ptr<DecodedMusic> decodeWhole(const std::string& name) {
  auto music = DecodedMusic::open(name.c_str());
  if (music) music->waitForFrames(music->length());
  return music;
}

TEST(MusicRates, OtherRatesKeepTheClockAndTheToneClean) {
  testing::ScratchFolder folder;
  for (auto [rate, kbps] : {std::pair{48000, 320}, std::pair{22050, 160}}) {
    auto music = decodeWhole(encode(rate, kbps));
    ASSERT_NE(music, nullptr) << rate;
    EXPECT_EQ(music->length(), static_cast<std::uint64_t>(seconds * sampleRate)) << rate;
    EXPECT_EQ(music->decodedFrames(), music->length()) << rate;
    for (int channel = 0; channel < channelCount; ++channel) {
      const Measured measured = measure(*music, channel);
      std::printf("%d Hz, channel %d: SINAD %.1f dB, clicks at most %.2f samples off\n", rate, channel, measured.sinad,
                  measured.worstOffset);
      EXPECT_GE(measured.sinad, 60.0) << rate;
      EXPECT_LE(std::abs(measured.worstOffset), 2.0) << rate;
    }
  }
}

// libmpg123 alone, as 44.1 kHz music was always decoded.
std::vector<std::int16_t> referenceDecode(const std::string& name) {
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
  mpg123_format_none(handle);
  mpg123_format(handle, sampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  std::vector<std::int16_t> samples;
  if (mpg123_open(handle, name.c_str()) == MPG123_OK && mpg123_scan(handle) == MPG123_OK) {
    samples.resize(static_cast<std::size_t>(mpg123_length(handle)) * channelCount);
    std::size_t bytes = 0;
    int result = MPG123_OK;
    while (bytes < samples.size() * 2 && (result == MPG123_OK || result == MPG123_NEW_FORMAT)) {
      std::size_t done = 0;
      result = mpg123_read(handle, reinterpret_cast<unsigned char*>(samples.data()) + bytes, samples.size() * 2 - bytes, &done);
      bytes += done;
    }
    samples.resize(bytes / 2);
  }
  mpg123_delete(handle);
  return samples;
}

TEST(MusicRates, MusicAt44100HzIsDecodedAsAlwaysAndACutShortFileStaysInTime) {
  testing::ScratchFolder folder;
  const std::string name = encode(sampleRate, 192);
  auto music = decodeWhole(name);
  ASSERT_NE(music, nullptr);
  const std::vector<std::int16_t> reference = referenceDecode(name);
  ASSERT_EQ(reference.size(), music->length() * channelCount);
  EXPECT_TRUE(std::equal(reference.begin(), reference.end(), music->samples()));
  EXPECT_LE(std::abs(measure(*music, 0).worstOffset), 2.0);

  // An interrupted copy: the header still announces every frame.
  std::ifstream in(name, std::ios::binary);
  const std::string whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  folder.write("cut.mp3", whole.substr(0, whole.size() - 300));
  auto cut = decodeWhole("cut.mp3");
  ASSERT_NE(cut, nullptr);
  EXPECT_LT(cut->length(), music->length());
  EXPECT_GT(cut->length() + 3 * 1152, music->length());
  const Measured measured = measure(*cut, 0);
  std::printf("44100 Hz cut short by 300 bytes: clicks at most %.2f samples off\n", measured.worstOffset);
  EXPECT_LE(std::abs(measured.worstOffset), 2.0);
  // Sample for sample the whole file's, as far as the cut one goes.
  EXPECT_TRUE(std::equal(cut->samples(), cut->samples() + cut->length() * channelCount, music->samples()));
}

}  // namespace
}  // namespace glowmarch::audio
