#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "audio/AudioDevice.h"
#include "audio/Spectrum.h"

namespace glowmarch::audio {
namespace {

const std::string fixtures = GLOWMARCH_SOURCE_DIR "/tests/audio/fixtures/";

// Interleaved stereo: `frames` frames of a sine, after `silentFrames` of silence.
std::vector<std::int16_t> tone(double hertz, double amplitude, int frames, int silentFrames = 0,
                               bool rightInverted = false) {
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(silentFrames + frames) * 2, 0);
  for (int n = 0; n < frames; ++n) {
    const double value = amplitude * std::sin(2.0 * std::numbers::pi * hertz * n / sampleRate);
    const auto sample = static_cast<std::int16_t>(std::lround(value));
    pcm[2 * (silentFrames + n)] = sample;
    pcm[2 * (silentFrames + n) + 1] = rightInverted ? static_cast<std::int16_t>(-sample) : sample;
  }
  return pcm;
}

int loudestBin(const float* bins) { return static_cast<int>(std::max_element(bins, bins + spectrumBins) - bins); }

TEST(Spectrum, FullScaleSineCentredOnABinPeaksAtOne) {
  const double binHertz = static_cast<double>(sampleRate) / fftFrames;
  auto music = DecodedMusic::fromSamples(tone(8 * binHertz, 32767.0, 4096));
  SpectrumAnalyser analyser;
  float bins[spectrumBins];
  analyser.analyse(*music, 2048, bins);
  EXPECT_EQ(loudestBin(bins), 8);
  EXPECT_NEAR(bins[8], 1.0f, 0.01f);
  // The Hann window spills into the two neighbours only.
  EXPECT_NEAR(bins[7], 0.5f, 0.01f);
  for (int k = 0; k < spectrumBins; ++k) {
    if (k < 7 || k > 9) {
      EXPECT_LT(bins[k], 1e-3f) << "bin " << k;
    }
  }
}

TEST(Spectrum, A440HzTonePeaksInBin5FromMemoryAndFromMp3) {
  SpectrumAnalyser analyser;
  float bins[spectrumBins];
  auto generated = DecodedMusic::fromSamples(tone(440.0, 16384.0, 44100));
  analyser.analyse(*generated, 22050, bins);
  EXPECT_EQ(loudestBin(bins), 5);
  EXPECT_GT(bins[5], 0.4f);

  ManualDevice device;
  auto stream = device.createStream((fixtures + "tone440.mp3").c_str());
  ASSERT_NE(stream, nullptr);
  auto& manual = dynamic_cast<ManualStream&>(*stream);
  manual.setFrame(22050);
  manual.spectrum(bins);
  EXPECT_EQ(loudestBin(bins), 5);
  EXPECT_GT(bins[5], 0.4f);
}

TEST(Spectrum, SilenceAndCancellingChannelsGiveAllZeros) {
  SpectrumAnalyser analyser;
  float bins[spectrumBins];
  auto silence = DecodedMusic::fromSamples(std::vector<std::int16_t>(2 * 4096, 0));
  analyser.analyse(*silence, 2048, bins);
  EXPECT_TRUE(std::all_of(bins, bins + spectrumBins, [](float b) { return b == 0.0f; }));
  // The mono mix: left and right in opposite phase cancel.
  auto opposed = DecodedMusic::fromSamples(tone(440.0, 16384.0, 4096, 0, true));
  analyser.analyse(*opposed, 2048, bins);
  EXPECT_TRUE(std::all_of(bins, bins + spectrumBins, [](float b) { return b == 0.0f; }));

  // Encoded silence decodes to a few least significant bits at most.
  ManualDevice device;
  auto stream = device.createStream((fixtures + "silence.mp3").c_str());
  ASSERT_NE(stream, nullptr);
  dynamic_cast<ManualStream&>(*stream).setFrame(11025);
  stream->spectrum(bins);
  EXPECT_LT(*std::max_element(bins, bins + spectrumBins), 1e-3f);
}

TEST(Spectrum, WindowEndsAtThePosition) {
  // Silence, then a tone from frame 10000 on.
  auto music = DecodedMusic::fromSamples(tone(440.0, 16384.0, 4096, 10000));
  SpectrumAnalyser analyser;
  float bins[spectrumBins];
  analyser.analyse(*music, 10000, bins);
  EXPECT_EQ(*std::max_element(bins, bins + spectrumBins), 0.0f);
  analyser.analyse(*music, 10000 + fftFrames, bins);
  EXPECT_EQ(loudestBin(bins), 5);
  // At the start of the piece the window reaches back before it: silence, not stray memory.
  auto early = DecodedMusic::fromSamples(tone(440.0, 16384.0, 4096));
  analyser.analyse(*early, 0, bins);
  EXPECT_EQ(*std::max_element(bins, bins + spectrumBins), 0.0f);
  analyser.analyse(*early, 100, bins);
  EXPECT_GT(*std::max_element(bins, bins + spectrumBins), 0.0f);
  // Past the end: the frames that exist, then silence.
  analyser.analyse(*early, 4096 + fftFrames, bins);
  EXPECT_EQ(*std::max_element(bins, bins + spectrumBins), 0.0f);
}

}  // namespace
}  // namespace glowmarch::audio
