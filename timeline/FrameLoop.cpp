#include "timeline/FrameLoop.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "effects/FrameValues.h"

namespace glowmarch {

double elapsedTime = 0.0;

namespace {

const std::array<double, spectrumBins> weights = [] {
  std::array<double, spectrumBins> table{};
  for (int k = 0; k < spectrumBins; ++k) table[k] = std::sqrt(std::log(k + 1.0));
  return table;
}();

}  // namespace

double secondsBetween(std::uint32_t start, std::uint32_t now) {
  // Unsigned difference: right across the clock's wrap after 49.7 days.
  return static_cast<std::uint32_t>(now - start) / 1000.0;
}

double spectrumWeight(int bin) { return bin >= 0 && bin < spectrumBins ? weights[bin] : 0.0; }

void weightSpectrum(float* bins) {
  for (int k = 0; k < spectrumBins; ++k) bins[k] = static_cast<float>(weights[k] * bins[k]);
}

void formatFrameRate(char (&text)[fpsTextSize], std::uint32_t frames, double seconds) {
  // The first frame comes before any time has passed: 0 / 0 would print nan.
  const double rate = seconds > 0.0 ? frames / seconds : 0.0;
  std::snprintf(text, sizeof text, "text;%lf fps", rate);
}

}  // namespace glowmarch
