#include "app/edit/BeatOnsets.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace glowmarch {

namespace {

// Levels are taken over blocks of this many frames (0.7 ms at 44.1 kHz): the grain of an onset's
// time before it is interpolated.
constexpr std::uint64_t block = 32;
// Hits closer than this are one hit.
constexpr double together = 0.025;
// Quieter rises than this (in full-scale amplitude) are no onsets.
constexpr float quietest = 0.002f;

struct Biquad {
  double b0, b1, b2, a1, a2;
};

Biquad butterworth(double hz, int rate, bool high) {
  const double w = 2.0 * std::numbers::pi * hz / rate;
  const double alpha = std::sin(w) / std::numbers::sqrt2;
  const double c = std::cos(w);
  const double a0 = 1.0 + alpha;
  const double side = high ? (1.0 + c) / 2.0 : (1.0 - c) / 2.0;
  return {side / a0, (high ? -2.0 : 2.0) * side / a0, side / a0, -2.0 * c / a0, (1.0 - alpha) / a0};
}

// Forwards, then backwards: no delay at any frequency, so a band's onsets stay where the sound's are.
void filterBothWays(std::vector<float>& signal, const Biquad& f) {
  double s1 = 0.0;
  double s2 = 0.0;
  const auto run = [&](float& sample) {
    const double in = sample;
    const double out = f.b0 * in + s1;
    s1 = f.b1 * in - f.a1 * out + s2;
    s2 = f.b2 * in - f.a2 * out;
    sample = static_cast<float>(out);
  };
  for (float& sample : signal) run(sample);
  s1 = s2 = 0.0;
  for (auto sample = signal.rbegin(); sample != signal.rend(); ++sample) run(*sample);
}

// Running sums of the squared signal over blocks: the energy of any span of blocks is a difference.
std::vector<double> blockEnergySums(const std::vector<float>& signal) {
  std::vector<double> sums(signal.size() / block + 1, 0.0);
  for (std::size_t b = 0; b + 1 < sums.size(); ++b) {
    double energy = 0.0;
    for (std::size_t i = b * block; i < (b + 1) * block; ++i) energy += static_cast<double>(signal[i]) * signal[i];
    sums[b + 1] = sums[b] + energy;
  }
  return sums;
}

// At each block edge, how much louder (root mean square) the `span` blocks after it are than the
// `span` blocks before: highest right where a sound starts, however long it then lasts.
std::vector<float> rises(const std::vector<double>& sums, std::size_t span) {
  const std::size_t edges = sums.size();
  std::vector<float> out(edges, 0.0f);
  const double frames = static_cast<double>(span * block);
  for (std::size_t e = span; e + span < edges; ++e) {
    const double before = std::max(0.0, sums[e] - sums[e - span]) / frames;
    const double after = std::max(0.0, sums[e + span] - sums[e]) / frames;
    out[e] = static_cast<float>(std::max(0.0, std::sqrt(after) - std::sqrt(before)));
  }
  return out;
}

}  // namespace

std::vector<Onset> findOnsets(const std::int16_t* samples, std::uint64_t frames, int rate) {
  std::vector<Onset> onsets;
  if (samples == nullptr || frames < block * 64) return onsets;
  const double step = static_cast<double>(block) / rate;

  std::vector<float> mono(frames);
  for (std::uint64_t i = 0; i < frames; ++i) {
    mono[i] = (static_cast<float>(samples[2 * i]) + static_cast<float>(samples[2 * i + 1])) / 65536.0f;
  }
  // Three bands, one at a time to keep one copy of the music: below 150 Hz (kick, bass), above
  // 2 kHz (hats, the click of a kick), and what lies between.
  std::vector<float> band = mono;
  filterBothWays(band, butterworth(150.0, rate, false));
  const std::vector<double> lowSums = blockEnergySums(band);
  for (std::size_t i = 0; i < band.size(); ++i) mono[i] -= band[i];
  band = mono;
  filterBothWays(band, butterworth(2000.0, rate, true));
  const std::vector<double> highSums = blockEnergySums(band);
  for (std::size_t i = 0; i < band.size(); ++i) mono[i] -= band[i];
  std::vector<float>().swap(band);
  const std::vector<double> midSums = blockEnergySums(mono);
  std::vector<float>().swap(mono);

  // Spans of about 10, 6 and 4 ms: a low note needs a few of its periods to show its level.
  const std::vector<float> low = rises(lowSums, 14);
  const std::vector<float> mid = rises(midSums, 8);
  const std::vector<float> high = rises(highSums, 6);
  const std::size_t edges = low.size();
  std::vector<float> strength(edges);
  for (std::size_t e = 0; e < edges; ++e) strength[e] = low[e] + mid[e] + 0.5f * high[e];

  const auto reach = static_cast<std::size_t>(std::lround(together / step));
  for (std::size_t e = 1; e + 1 < edges; ++e) {
    const float here = strength[e];
    if (here < quietest) continue;
    bool peak = true;
    for (std::size_t k = e > reach ? e - reach : 0; k <= e + reach && k < edges && peak; ++k) {
      // The first of equal neighbours is the peak.
      peak = k == e || (k < e ? strength[k] < here : strength[k] <= here);
    }
    if (!peak) continue;
    // The top of the parabola through the peak and its neighbours.
    const double left = strength[e - 1];
    const double right = strength[e + 1];
    const double curve = left - 2.0 * here + right;
    const double shift = curve < 0.0 ? std::clamp(0.5 * (left - right) / curve, -0.5, 0.5) : 0.0;
    onsets.push_back({(static_cast<double>(e) + shift) * step, here});
  }
  return onsets;
}

}  // namespace glowmarch
