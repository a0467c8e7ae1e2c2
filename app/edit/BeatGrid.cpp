#include "app/edit/BeatGrid.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "app/edit/Transport.h"

namespace glowmarch {

namespace {

constexpr unsigned sampleRate = 44100;
constexpr unsigned window = 1024;
// A hop of 128 frames (2.9 ms) keeps the beats found well within 10 ms of the sound.
constexpr unsigned hop = 128;
constexpr double halfFrame = 0.5 / editFps;

struct Vectors {
  fvec_t* in = new_fvec(hop);
  fvec_t* out = new_fvec(2);
  ~Vectors() {
    del_fvec(in);
    del_fvec(out);
  }
};

// The onset nearest to `time` within `reach`, else nothing.
std::optional<double> onsetNear(const std::vector<double>& onsets, double time, double reach) {
  const auto after = std::lower_bound(onsets.begin(), onsets.end(), time);
  std::optional<double> best;
  if (after != onsets.end() && *after - time <= reach) best = *after;
  if (after != onsets.begin() && time - *std::prev(after) <= reach && (!best || time - *std::prev(after) < *best - time)) {
    best = *std::prev(after);
  }
  return best;
}

double medianGap(const std::vector<double>& beats) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < beats.size(); ++i) gaps.push_back(beats[i] - beats[i - 1]);
  if (gaps.empty()) return 0.0;
  std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
  return gaps[gaps.size() / 2];
}

// The tracker's beats set on the onsets they stand for (the tracker answers a hop or two late), at
// the tempo the onsets keep when the tracker counted every other one, and with the beats it left
// out in between put back.
std::vector<double> alignBeats(std::vector<double> beats, const std::vector<double>& onsets) {
  if (beats.size() < 2) return beats;
  for (double& beat : beats) {
    if (const auto onset = onsetNear(onsets, beat, 0.03)) beat = *onset;
  }
  double gap = medianGap(beats);
  // Half the tempo: an onset halfway between most pairs of beats a period apart.
  std::size_t periods = 0;
  std::size_t halfway = 0;
  for (std::size_t i = 1; i < beats.size(); ++i) {
    if (std::fabs(beats[i] - beats[i - 1] - gap) > gap * 0.15) continue;
    ++periods;
    halfway += onsetNear(onsets, (beats[i - 1] + beats[i]) / 2, gap * 0.1) ? 1 : 0;
  }
  // Only below 100 BPM: a faster tracker's beats with onsets between are eighth notes, not half time.
  if (gap > 0.6 && periods > 0 && halfway * 3 >= periods * 2) gap /= 2;
  if (!(gap > 0.0)) return beats;
  std::vector<double> filled;
  for (std::size_t i = 0; i < beats.size(); ++i) {
    if (i > 0) {
      const double between = beats[i] - beats[i - 1];
      const int missing = static_cast<int>(std::lround(between / gap)) - 1;
      for (int k = 1; k <= missing && missing < 16; ++k) {
        const double expected = beats[i - 1] + between * k / (missing + 1);
        filled.push_back(onsetNear(onsets, expected, gap * 0.1).value_or(expected));
      }
    }
    filled.push_back(beats[i]);
  }
  // On to either end while the onsets keep the beat.
  while (const auto onset = onsetNear(onsets, filled.back() + gap, gap * 0.1)) filled.push_back(*onset);
  std::vector<double> before;
  while (const auto onset = onsetNear(onsets, (before.empty() ? filled.front() : before.back()) - gap, gap * 0.1)) {
    before.push_back(*onset);
  }
  filled.insert(filled.end(), before.begin(), before.end());
  std::sort(filled.begin(), filled.end());
  filled.erase(std::unique(filled.begin(), filled.end()), filled.end());
  return filled;
}

// The rise of the low band's energy per hop: kicks and bass notes, which mark the beat in most music,
// where the tracker may follow hi-hats on the off-beats.
std::vector<float> lowRises(const std::int16_t* samples, std::uint64_t frames) {
  // One pole at about 150 Hz.
  const float keep = std::exp(-2.0f * std::numbers::pi_v<float> * 150.0f / sampleRate);
  float low = 0.0f;
  float before = 0.0f;
  std::vector<float> rises;
  for (std::uint64_t start = 0; start + hop <= frames; start += hop) {
    float energy = 0.0f;
    for (unsigned i = 0; i < hop; ++i) {
      const std::int16_t* frame = samples + (start + i) * 2;
      low = low * keep + (1.0f - keep) * (static_cast<float>(frame[0]) + static_cast<float>(frame[1])) / 65536.0f;
      energy += low * low;
    }
    rises.push_back(std::max(0.0f, energy - before));
    before = energy;
  }
  return rises;
}

// The strongest rise within two hops of `time`.
float riseNear(const std::vector<float>& rises, double time) {
  const auto at = static_cast<std::int64_t>(std::lround(time * sampleRate / hop));
  float most = 0.0f;
  for (std::int64_t h = at - 2; h <= at + 2; ++h) {
    if (h >= 0 && h < static_cast<std::int64_t>(rises.size())) most = std::max(most, rises[static_cast<std::size_t>(h)]);
  }
  return most;
}

// Beats whose neighbourhood (four either side) has clearly more low-band rises half a beat on are
// moved there: the tracker was on the off-beats.
std::vector<double> onTheLowBeat(std::vector<double> beats, const std::vector<float>& rises,
                                 const std::vector<double>& onsets) {
  if (beats.size() < 4) return beats;
  const double gap = medianGap(beats);
  std::vector<float> on(beats.size());
  std::vector<float> off(beats.size());
  for (std::size_t i = 0; i < beats.size(); ++i) {
    on[i] = riseNear(rises, beats[i]);
    off[i] = riseNear(rises, beats[i] + gap / 2);
  }
  std::vector<double> moved;
  for (std::size_t i = 0; i < beats.size(); ++i) {
    float onSum = 0.0f;
    float offSum = 0.0f;
    for (std::size_t k = i >= 2 ? i - 2 : 0; k < beats.size() && k <= i + 2; ++k) {
      onSum += on[k];
      offSum += off[k];
    }
    if (offSum > 1.5f * onSum && offSum > 0.0f) {
      const double shifted = beats[i] + gap / 2;
      moved.push_back(onsetNear(onsets, shifted, gap * 0.1).value_or(shifted));
    } else {
      moved.push_back(beats[i]);
    }
  }
  std::sort(moved.begin(), moved.end());
  moved.erase(std::unique(moved.begin(), moved.end()), moved.end());
  return moved;
}

}  // namespace

BeatGrid findBeats(const std::int16_t* samples, std::uint64_t frames) {
  BeatGrid grid;
  if (samples == nullptr || frames < window * 4) return grid;
  std::unique_ptr<aubio_tempo_t, void (*)(aubio_tempo_t*)> tempo(
      new_aubio_tempo("default", window, hop, sampleRate), del_aubio_tempo);
  std::unique_ptr<aubio_onset_t, void (*)(aubio_onset_t*)> onset(
      // Spectral flux: the default (high-frequency content) misses clicks that follow silence.
      new_aubio_onset("specflux", window, hop, sampleRate), del_aubio_onset);
  if (!tempo || !onset) return grid;
  // Silence gives nothing, not a beat on every hop.
  aubio_tempo_set_silence(tempo.get(), -60.0f);
  aubio_onset_set_silence(onset.get(), -60.0f);
  Vectors tempoVectors;
  Vectors onsetVectors;
  for (std::uint64_t start = 0; start + hop <= frames; start += hop) {
    for (unsigned i = 0; i < hop; ++i) {
      const std::int16_t* frame = samples + (start + i) * 2;
      const float mono = (static_cast<float>(frame[0]) + static_cast<float>(frame[1])) / 65536.0f;
      tempoVectors.in->data[i] = mono;
      onsetVectors.in->data[i] = mono;
    }
    aubio_tempo_do(tempo.get(), tempoVectors.in, tempoVectors.out);
    if (tempoVectors.out->data[0] != 0.0f) grid.beats.push_back(aubio_tempo_get_last_s(tempo.get()));
    aubio_onset_do(onset.get(), onsetVectors.in, onsetVectors.out);
    if (onsetVectors.out->data[0] != 0.0f) grid.onsets.push_back(aubio_onset_get_last_s(onset.get()));
  }
  std::sort(grid.beats.begin(), grid.beats.end());
  std::sort(grid.onsets.begin(), grid.onsets.end());
  grid.beats = onTheLowBeat(alignBeats(grid.beats, grid.onsets), lowRises(samples, frames), grid.onsets);
  return grid;
}

std::optional<double> previousBeat(const std::vector<double>& beats, double seconds) {
  const auto at = std::lower_bound(beats.begin(), beats.end(), seconds - halfFrame);
  if (at == beats.begin()) return std::nullopt;
  return *std::prev(at);
}

std::optional<double> nextBeat(const std::vector<double>& beats, double seconds) {
  const auto at = std::upper_bound(beats.begin(), beats.end(), seconds + halfFrame);
  if (at == beats.end()) return std::nullopt;
  return *at;
}

}  // namespace glowmarch
