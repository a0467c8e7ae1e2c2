#include "audio/Spectrum.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "audio/DecodedMusic.h"

namespace glowmarch::audio {

namespace {

// Scaling: a sine of amplitude A centred on bin k gives |X[k]| = A * sum(window) / 2, and the
// periodic Hann window sums to N / 2, so |X[k]| = A * N / 4. Multiplying by 4 / N makes a
// full-scale sine (A = 1 after dividing samples by 32768) peak at 1.0; a sine between two bins
// loses up to 15 % to the window's scalloping. The 1 / 2 of the mono mix and the 1 / 32768 of the
// samples are folded into the same factor.
constexpr float magnitudeScale = 4.0f / fftFrames;
constexpr float sampleScale = 1.0f / (2.0f * 32768.0f);

}  // namespace

struct SpectrumAnalyser::Tables {
  kiss_fftr_cfg plan = nullptr;
  std::array<float, fftFrames> window{};
  std::array<float, fftFrames> mono{};
  std::array<kiss_fft_cpx, fftFrames / 2 + 1> spectrum{};
  std::array<std::int16_t, fftFrames * 2> stereo{};
};

SpectrumAnalyser::SpectrumAnalyser() : tables(std::make_unique<Tables>()) {
  tables->plan = kiss_fftr_alloc(fftFrames, 0, nullptr, nullptr);
  for (int n = 0; n < fftFrames; ++n) {
    tables->window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / fftFrames));
  }
}

SpectrumAnalyser::~SpectrumAnalyser() { kiss_fftr_free(tables->plan); }

void SpectrumAnalyser::analyseFrames(const std::int16_t* frames, float* bins) {
  Tables& t = *tables;
  for (int n = 0; n < fftFrames; ++n) {
    const float sum = static_cast<float>(frames[2 * n]) + static_cast<float>(frames[2 * n + 1]);
    t.mono[n] = sum * sampleScale * t.window[n];
  }
  kiss_fftr(t.plan, t.mono.data(), t.spectrum.data());
  for (int k = 0; k < spectrumBins; ++k) {
    bins[k] = std::hypot(t.spectrum[k].r, t.spectrum[k].i) * magnitudeScale;
  }
}

void SpectrumAnalyser::analyse(const DecodedMusic& music, std::uint64_t end, float* bins) {
  Tables& t = *tables;
  t.stereo.fill(0);
  const std::uint64_t available = std::min(end, music.decodedFrames());
  const std::uint64_t first = end > fftFrames ? end - fftFrames : 0;
  if (available > first) {
    // Right-aligned, so the window always ends at `end` even at the very start of the piece.
    const std::uint64_t count = available - first;
    const std::uint64_t offset = fftFrames - (end - first);
    std::copy_n(music.samples() + first * channelCount, count * channelCount,
                t.stereo.begin() + static_cast<std::ptrdiff_t>(offset * channelCount));
  }
  analyseFrames(t.stereo.data(), bins);
}

}  // namespace glowmarch::audio
