// Generated drum tracks with known beats: kick, snare, bass, hi-hats and a pad, at any tempo and
// swing, as a plain test of the beat grid needs them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace glowmarch::testing {

enum class Groove { fourOnTheFloor, backbeat };

struct BeatTrack {
  std::vector<std::int16_t> samples;  // interleaved stereo, 44.1 kHz
  std::vector<double> beats;          // the true beats: where each beat's drum starts
};

namespace tracks {

constexpr double rate = 44100.0;
constexpr double pi = 3.14159265358979323846;

inline void add(std::vector<float>& mix, double at, const std::vector<float>& sound, float gain) {
  const auto first = static_cast<std::size_t>(std::llround(at * rate));
  for (std::size_t i = 0; i < sound.size() && first + i < mix.size(); ++i) mix[first + i] += sound[i] * gain;
}

inline std::vector<float> kick() {
  std::vector<float> out(static_cast<std::size_t>(0.35 * rate));
  double phase = 0.0;
  std::mt19937 noise(3);
  std::normal_distribution<float> gauss;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = i / rate;
    phase += 2.0 * pi * (50.0 + 110.0 * std::exp(-t * 30.0)) / rate;
    const double body = std::sin(phase) * std::exp(-t * 8.0);
    const double click = gauss(noise) * std::exp(-t * 400.0) * 0.3;
    out[i] = static_cast<float>(std::tanh((body + click) * 1.5));
  }
  return out;
}

inline std::vector<float> snare(std::mt19937& noise) {
  std::vector<float> out(static_cast<std::size_t>(0.25 * rate));
  std::normal_distribution<float> gauss;
  float last = 0.0f;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = i / rate;
    const float white = gauss(noise);
    out[i] = static_cast<float>((white - last) * 0.35 * std::exp(-t * 22.0) +
                                std::sin(2.0 * pi * 190.0 * t) * 0.6 * std::exp(-t * 30.0));
    last = white;
  }
  return out;
}

inline std::vector<float> hat(std::mt19937& noise, bool open) {
  std::vector<float> out(static_cast<std::size_t>((open ? 0.3 : 0.06) * rate));
  std::normal_distribution<float> gauss;
  float a = 0.0f;
  float b = 0.0f;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = i / rate;
    const float white = gauss(noise);
    // Twice differenced: the noise above a few kHz.
    out[i] = static_cast<float>((white - 2.0f * a + b) * 0.12 * std::exp(-t * (open ? 9.0 : 60.0)));
    b = a;
    a = white;
  }
  return out;
}

// A plucked saw of a few harmonics, its attack 5 ms.
inline std::vector<float> bass(double hz, double seconds) {
  std::vector<float> out(static_cast<std::size_t>(seconds * rate));
  for (int k = 1; k <= 8; ++k) {
    // Each harmonic a rotating phasor, dying away faster the higher it is.
    const double turn = 2.0 * pi * hz * k / rate;
    const double c = std::cos(turn);
    const double s = std::sin(turn);
    const double fade = std::exp(-k * 6.0 / rate);
    double x = 0.0;
    double y = 1.0 / k;
    for (float& sample : out) {
      sample += static_cast<float>(x);
      const double nx = (x * c + y * s) * fade;
      y = (y * c - x * s) * fade;
      x = nx;
    }
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = i / rate;
    out[i] *= static_cast<float>(std::min(1.0, t / 0.005) * std::exp(-t * 3.0) * std::min(1.0, (seconds - t) / 0.01));
  }
  return out;
}

}  // namespace tracks

// `seconds` of music at `bpm`: the off-beat eighths fall `swing` of the way through the beat (0.5 is
// straight, 2/3 a triplet swing). The first beat comes at `start` seconds.
inline BeatTrack makeBeatTrack(double bpm, double swing, Groove groove, double seconds, double start,
                               unsigned seed) {
  using namespace tracks;
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> velocity(0.8f, 1.0f);
  std::vector<float> mix(static_cast<std::size_t>(seconds * rate), 0.0f);
  const double beat = 60.0 / bpm;
  const std::vector<float> kickSound = kick();
  const double roots[4] = {55.0, 43.65, 65.41, 49.0};
  std::vector<float> low[4];
  std::vector<float> high[4];
  for (int i = 0; i < 4; ++i) {
    low[i] = bass(roots[i], beat * 0.45);
    high[i] = bass(roots[i] * 2.0, beat * (groove == Groove::fourOnTheFloor ? 0.4 : 0.3));
  }
  BeatTrack track;
  for (int n = 0; start + n * beat < seconds - 0.3; ++n) {
    const double at = start + n * beat;
    const double off = at + swing * beat;
    const int inBar = n % 4;
    const int chord = (n / 4) % 4;
    track.beats.push_back(at);
    if (groove == Groove::fourOnTheFloor) {
      add(mix, at, kickSound, 0.9f * velocity(random));
      add(mix, off, high[chord], 0.22f * velocity(random));
      add(mix, off, hat(random, inBar % 2 == 1), 0.5f * velocity(random));
      add(mix, at, hat(random, false), 0.3f * velocity(random));
    } else {
      if (inBar == 0 || inBar == 2) add(mix, at, kickSound, 0.9f * velocity(random));
      if (inBar == 2 && (n / 4) % 2 == 1) add(mix, off, kickSound, 0.7f * velocity(random));
      if (inBar == 1 || inBar == 3) add(mix, at, snare(random), 0.7f * velocity(random));
      add(mix, at, low[chord], 0.3f * velocity(random));
      add(mix, off, high[chord], 0.2f * velocity(random));
      add(mix, at, hat(random, false), 0.4f * velocity(random));
      add(mix, off, hat(random, false), 0.3f * velocity(random));
    }
  }
  // A pad over it all, fading in: a chord of three slightly sharp saws, without an attack to speak of.
  for (const double hz : {220.0, 261.63, 329.63}) {
    for (int k = 1; k <= 5; ++k) {
      const double turn = 2.0 * pi * hz * 1.003 * k / rate;
      const double c = std::cos(turn);
      const double s = std::sin(turn);
      double x = 0.0;
      double y = 1.0 / k;
      for (std::size_t i = 0; i < mix.size(); ++i) {
        mix[i] += static_cast<float>(x * 0.02 * std::min(1.0, i / rate / 2.0));
        const double nx = x * c + y * s;
        y = y * c - x * s;
        x = nx;
      }
    }
  }
  track.samples.resize(mix.size() * 2);
  for (std::size_t i = 0; i < mix.size(); ++i) {
    const auto value = static_cast<std::int16_t>(std::clamp(mix[i] * 0.6f, -1.0f, 1.0f) * 32767.0f);
    track.samples[2 * i] = track.samples[2 * i + 1] = value;
  }
  return track;
}

}  // namespace glowmarch::testing
