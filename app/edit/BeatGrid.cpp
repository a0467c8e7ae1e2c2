#include "app/edit/BeatGrid.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/edit/BeatOnsets.h"
#include "app/edit/Transport.h"

namespace glowmarch {

namespace {

constexpr unsigned sampleRate = 44100;
constexpr unsigned window = 1024;
constexpr unsigned hop = 256;
constexpr double halfFrame = 0.5 / editFps;
// The tempi a beat is counted at: one octave and a little, so that every tempo has one way of being
// counted, and the music decides at the edges.
constexpr double slowestBpm = 88.0;
constexpr double fastestBpm = 184.0;
// Onsets fitted to the grid lie this near it.
constexpr double fittedReach = 0.004;
// The grid's tempo is searched for over this many beats at most: enough to know it to a microsecond.
constexpr double searchedBeats = 256.0;

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// A beat period brought into the tempi counted, by octaves.
double folded(double period) {
  if (!(period > 0.0)) return period;
  while (60.0 / period < slowestBpm) period /= 2.0;
  while (60.0 / period > fastestBpm) period *= 2.0;
  return period;
}

// The tracker's beats, a little late and not always on the beat, but at the music's tempo.
std::vector<double> trackerBeats(const std::int16_t* samples, std::uint64_t frames) {
  std::vector<double> beats;
  std::unique_ptr<aubio_tempo_t, void (*)(aubio_tempo_t*)> tempo(
      new_aubio_tempo("default", window, hop, sampleRate), del_aubio_tempo);
  if (!tempo) return beats;
  // Silence gives nothing, not a beat on every hop.
  aubio_tempo_set_silence(tempo.get(), -60.0f);
  std::unique_ptr<fvec_t, void (*)(fvec_t*)> in(new_fvec(hop), del_fvec);
  std::unique_ptr<fvec_t, void (*)(fvec_t*)> out(new_fvec(2), del_fvec);
  for (std::uint64_t start = 0; start + hop <= frames; start += hop) {
    for (unsigned i = 0; i < hop; ++i) {
      const std::int16_t* frame = samples + (start + i) * 2;
      in->data[i] = (static_cast<float>(frame[0]) + static_cast<float>(frame[1])) / 65536.0f;
    }
    aubio_tempo_do(tempo.get(), in.get(), out.get());
    if (out->data[0] != 0.0f) beats.push_back(aubio_tempo_get_last_s(tempo.get()));
  }
  std::sort(beats.begin(), beats.end());
  return beats;
}

// Where the music is first heard: its first 10 ms above -50 dB.
double firstSound(const std::int16_t* samples, std::uint64_t frames) {
  constexpr std::uint64_t span = sampleRate / 100;
  constexpr double threshold = 0.00316 * 0.00316 * 65536.0 * 65536.0;  // -50 dB of full scale, squared, in samples
  for (std::uint64_t start = 0; start + span <= frames; start += span) {
    double energy = 0.0;
    for (std::uint64_t i = start; i < start + span; ++i) {
      const double mono = (static_cast<double>(samples[2 * i]) + samples[2 * i + 1]) / 2.0;
      energy += mono * mono;
    }
    if (energy / span > threshold) return static_cast<double>(start) / sampleRate;
  }
  return static_cast<double>(frames) / sampleRate;
}

// A stretch of music at one tempo, as the tracker heard it.
struct Region {
  double first = 0.0;
  double last = 0.0;
  double period = 0.0;
};

// The tracker's beats cut where they stop for a while or change tempo. The tracker may count at
// double or half speed for a while: periods are compared once brought into the tempi counted.
std::vector<Region> regionsOf(const std::vector<double>& beats) {
  std::vector<Region> regions;
  if (beats.size() < 4) return regions;
  std::vector<double> gaps;
  for (std::size_t i = 1; i < beats.size(); ++i) gaps.push_back(beats[i] - beats[i - 1]);
  std::vector<double> local(gaps.size());
  for (std::size_t i = 0; i < gaps.size(); ++i) {
    const std::size_t from = i >= 4 ? i - 4 : 0;
    const std::size_t to = std::min(gaps.size(), i + 5);
    local[i] = folded(median(std::vector<double>(gaps.begin() + static_cast<std::ptrdiff_t>(from),
                                                 gaps.begin() + static_cast<std::ptrdiff_t>(to))));
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= gaps.size(); ++i) {
    const bool cut = i == gaps.size() || gaps[i] > 4.0 * local[i] ||
                     (i > start && std::fabs(local[i] - local[start]) > 0.03 * local[start]);
    if (!cut) continue;
    // beats[start] to beats[i], with the gaps start .. i - 1 between.
    // A few beats say little of the tempo (the tracker settling in): the stretches beside reach over them.
    if (i >= start + 8) {
      const std::vector<double> periods(local.begin() + static_cast<std::ptrdiff_t>(start),
                                        local.begin() + static_cast<std::ptrdiff_t>(i));
      regions.push_back({beats[start], beats[i], median(periods)});
    }
    start = i + 1;
  }
  return regions;
}

// Beat k of a steady stretch stands at phase + k * period.
struct Line {
  double phase = 0.0;
  double period = 0.0;
  double score = -1.0;
  double at(double k) const { return phase + k * period; }
};

// The steady grid from `from` to `to` that the onsets' weight gathers on most, its period between
// `shortest` and `longest` in steps of `step`: each period's onsets folded onto one beat, and the
// phase where they pile up within `reach`.
Line bestLine(const std::vector<Onset>& onsets, double from, double to, double shortest, double longest,
              double step, double reach) {
  constexpr double bin = 0.0005;
  const auto begin = std::lower_bound(onsets.begin(), onsets.end(), from - reach,
                                      [](const Onset& o, double t) { return o.time < t; });
  const auto end = std::upper_bound(onsets.begin(), onsets.end(), to + reach,
                                    [](double t, const Onset& o) { return t < o.time; });
  Line best;
  std::vector<double> folds;
  std::vector<double> sums;
  const auto radius = static_cast<std::ptrdiff_t>(std::max(1.0, std::round(reach / bin)));
  for (double period = shortest; period <= longest; period += step) {
    const auto bins = static_cast<std::ptrdiff_t>(std::ceil(period / bin));
    folds.assign(static_cast<std::size_t>(bins), 0.0);
    for (auto o = begin; o != end; ++o) {
      const double phase = std::fmod(o->time - from + period * 64.0, period);
      folds[static_cast<std::size_t>(std::min<std::ptrdiff_t>(bins - 1, static_cast<std::ptrdiff_t>(phase / bin)))] += o->weight;
    }
    // A triangle of `radius` bins around each bin, around the fold: two running boxes.
    sums.assign(static_cast<std::size_t>(bins) + 1, 0.0);
    for (std::ptrdiff_t b = 0; b < bins; ++b) sums[static_cast<std::size_t>(b) + 1] = sums[static_cast<std::size_t>(b)] + folds[static_cast<std::size_t>(b)];
    const auto box = [&](std::ptrdiff_t centre, std::ptrdiff_t half) {
      double total = 0.0;
      for (std::ptrdiff_t lo = centre - half, hi = centre + half + 1; lo < hi;) {
        const std::ptrdiff_t wrapped = ((lo % bins) + bins) % bins;
        const std::ptrdiff_t take = std::min(hi - lo, bins - wrapped);
        total += sums[static_cast<std::size_t>(wrapped + take)] - sums[static_cast<std::size_t>(wrapped)];
        lo += take;
      }
      return total;
    };
    for (std::ptrdiff_t b = 0; b < bins; ++b) {
      const double score = box(b, radius / 2) + box(b, radius / 4) * 0.5;
      if (score > best.score) best = {from + (static_cast<double>(b) + 0.5) * bin, period, score};
    }
  }
  return best;
}

// The steady grid of a stretch, its period near `period`: first roughly, then to a tenth of a
// millisecond over the whole stretch.
Line fitLine(const std::vector<Onset>& onsets, double from, double to, double period) {
  const double beats = std::max(1.0, (to - from) / period);
  const double coarse = 0.004 / beats;
  const Line rough = bestLine(onsets, from, to, period * 0.96, period * 1.04, coarse, 0.012);
  const double fine = 0.0004 / beats;
  Line line = bestLine(onsets, from, to, rough.period - 2.0 * coarse, rough.period + 2.0 * coarse, fine, 0.004);
  // The phase nearest the stretch's start, so beats count from there.
  line.phase -= std::floor((line.phase - from) / line.period + 0.5) * line.period;
  return line;
}

// The heaviest onset within `reach` of `time`, if any.
const Onset* heaviestNear(const std::vector<Onset>& onsets, double time, double reach) {
  auto o = std::lower_bound(onsets.begin(), onsets.end(), time - reach,
                            [](const Onset& a, double t) { return a.time < t; });
  const Onset* best = nullptr;
  for (; o != onsets.end() && o->time <= time + reach; ++o) {
    if (best == nullptr || o->weight > best->weight) best = &*o;
  }
  return best;
}

// Where the music beats at double the line's tempo nearly as much as at its own, the line counts
// too few: kick and snare in turn, not a kick and the hats between.
bool countsHalf(const Line& line, const std::vector<Onset>& onsets, double from, double to) {
  double on = 0.0;
  double between = 0.0;
  for (double k = std::ceil((from - line.phase) / line.period); line.at(k) <= to; k += 1.0) {
    if (const Onset* o = heaviestNear(onsets, line.at(k), 0.012)) on += o->weight;
    if (const Onset* o = heaviestNear(onsets, line.at(k + 0.5), 0.012)) between += o->weight;
  }
  return on > 0.0 && between >= 0.45 * on;
}

// Whether the beat is heard at `time`: an onset there, on the grid, and not outweighed by the notes
// between the beats around it.
bool beatHeard(const std::vector<Onset>& onsets, double time, double period) {
  const Onset* on = heaviestNear(onsets, time, 0.008);
  const Onset* around = heaviestNear(onsets, time, period / 2.0);
  return on != nullptr && on->weight >= 0.5f * around->weight;
}

// An onset taken for beat k.
struct Match {
  double k;
  double time;
  double weight;
};

// Weighted least squares of time over beat number.
struct LineFit {
  double sw = 0.0, sk = 0.0, st = 0.0, skk = 0.0, skt = 0.0;
  std::size_t count = 0;
  void add(double k, double time, double weight) {
    sw += weight;
    sk += weight * k;
    st += weight * time;
    skk += weight * k * k;
    skt += weight * k * time;
    ++count;
  }
  // Time at beat 0 and per beat; false when the matches do not fix a line.
  bool solve(double& at, double& slope) const {
    const double determinant = sw * skk - sk * sk;
    if (count < 2 || !(sw > 0.0) || !(determinant > 1e-12 * sw * sw)) return false;
    slope = (sw * skt - sk * st) / determinant;
    at = (st - slope * sk) / sw;
    return true;
  }
};

std::vector<Match> matchesOf(const std::vector<Onset>& onsets, const Line& line, long first, long last, double reach) {
  std::vector<Match> matches;
  for (long k = first; k <= last; ++k) {
    const double kk = static_cast<double>(k);
    if (const Onset* o = heaviestNear(onsets, line.at(kk), reach)) matches.push_back({kk, o->time, o->weight});
  }
  return matches;
}

// The line through the onsets that lie on it, from beat `first` to beat `last`: fitted over the
// middle first, then over twice as many beats at a time, so that its period is known well enough at
// each step to find the onsets further out.
Line refined(Line line, const std::vector<Onset>& onsets, long first, long last, double reach) {
  const std::vector<Match> matches = matchesOf(onsets, line, first, last, reach);
  const double centre = static_cast<double>(first + last) / 2.0;
  for (double half = searchedBeats / 2.0;; half *= 2.0) {
    LineFit fit;
    for (const Match& m : matches) {
      if (std::fabs(m.k - centre) <= half && std::fabs(m.time - line.at(m.k)) <= fittedReach) {
        fit.add(m.k - centre, m.time, m.weight);
      }
    }
    double at = 0.0;
    double slope = 0.0;
    if (fit.count >= 8 && fit.solve(at, slope) && std::fabs(slope - line.period) < 0.01 * line.period) {
      line.period = slope;
      line.phase = at - centre * slope;
    }
    if (half >= static_cast<double>(last - first)) return line;
  }
}

// Beat k where the onsets of the eight beats either side put a straight line, or on `line` where
// they are too few.
double placedLocally(const Line& line, const std::vector<Match>& matches, double k, double reach) {
  const auto from = std::lower_bound(matches.begin(), matches.end(), k - 8.0,
                                     [](const Match& m, double kk) { return m.k < kk; });
  double at = line.at(k);
  double slope = line.period;
  // Twice: the second time without the onsets off the first line.
  for (int pass = 0; pass < 2; ++pass) {
    LineFit fit;
    for (auto m = from; m != matches.end() && m->k <= k + 8.0; ++m) {
      if (pass == 1 && std::fabs(m->time - (at + slope * (m->k - k))) > fittedReach) continue;
      fit.add(m->k - k, m->time, m->weight);
    }
    if (fit.count < 4 || !fit.solve(at, slope)) return line.at(k);
  }
  return std::fabs(at - line.at(k)) < reach ? at : line.at(k);
}

// A region's grid: its line, and its first and last beat where the tracker counted.
struct RegionGrid {
  Line line;
  long first = 0;
  long last = 0;
  double reach = 0.0;  // how far an onset may lie from the line to be the beat's
};

// The grid that fits a region's onsets; none where the beat is seldom heard (the tracker counts on
// through a held chord).
std::optional<RegionGrid> regionGrid(const Region& region, const std::vector<Onset>& onsets) {
  double period = folded(region.period);
  // Beats the tracker gave twice at one time say no tempo.
  if (!(period >= 60.0 / fastestBpm && period <= 60.0 / slowestBpm)) return std::nullopt;
  // At the edges of the tempi counted, twice or half the tempo is counted too: the music says which.
  if (60.0 / period < slowestBpm * 1.1 || 60.0 / period > fastestBpm / 1.1) {
    const double slow = 60.0 / period < slowestBpm * 1.1 ? period : period * 2.0;
    const double end = std::min(region.last, region.first + searchedBeats * slow);
    period = countsHalf(fitLine(onsets, region.first, end, slow), onsets, region.first, end) ? slow / 2.0 : slow;
  }
  // Searched for over the middle of a long stretch, then carried out to its ends.
  const double middle = (region.first + region.last) / 2.0;
  const double searched = std::min(region.last - region.first, searchedBeats * period) / 2.0;
  RegionGrid grid;
  grid.line = fitLine(onsets, middle - searched, middle + searched, period);
  grid.reach = std::min(0.1 * grid.line.period, 0.03);
  grid.first = static_cast<long>(std::floor((region.first - grid.line.phase) / grid.line.period + 0.5));
  grid.last = static_cast<long>(std::floor((region.last - grid.line.phase) / grid.line.period + 0.5));
  grid.line = refined(grid.line, onsets, grid.first, grid.last, grid.reach);
  const auto heard = [&](long k) { return beatHeard(onsets, grid.line.at(static_cast<double>(k)), grid.line.period); };
  long heardBeats = 0;
  for (long k = grid.first; k <= grid.last; ++k) heardBeats += heard(k) ? 1 : 0;
  if (heardBeats < 8 || heardBeats * 4 < grid.last - grid.first + 1) return std::nullopt;
  return grid;
}

// The tracker goes on at the old tempo for a while after a change: where another region comes
// before (or after), this one holds from the first beat heard with most of the three after it (to
// the last with most of the three before it). False when too little is left.
bool trimmed(RegionGrid& grid, const std::vector<Onset>& onsets, bool start, bool end) {
  const auto heard = [&](long k) { return beatHeard(onsets, grid.line.at(static_cast<double>(k)), grid.line.period); };
  const auto steadyFrom = [&](long k, long direction) {
    return heard(k) && (heard(k + direction) ? 1 : 0) + (heard(k + 2 * direction) ? 1 : 0) +
                               (heard(k + 3 * direction) ? 1 : 0) >= 2;
  };
  while (start && grid.first < grid.last && !steadyFrom(grid.first, 1)) ++grid.first;
  while (end && grid.last > grid.first && !steadyFrom(grid.last, -1)) --grid.last;
  return grid.last - grid.first >= 7;
}

// A region's beats, in music `length` seconds long that is first heard at `firstSound`: carried on to
// either side of the tracker's while the beat is heard (it starts late and may stop early), over gaps
// of up to a bar, until the regions beside, whose beats are at `earliest` and `latest`.
// Steady music keeps the grid, to a fraction of a millisecond; where the onsets stray from it, the
// tempo drifts, and each beat is placed by the onsets around it.
std::vector<double> regionBeats(RegionGrid grid, const std::vector<Onset>& onsets, double earliest, double latest,
                                double firstSound, double length) {
  const Line& line = grid.line;
  const auto heard = [&](long k) { return beatHeard(onsets, line.at(static_cast<double>(k)), line.period); };
  for (long k = grid.first - 1, misses = 0; line.at(static_cast<double>(k)) > earliest + line.period / 2 && misses <= 4; --k) {
    if (heard(k)) {
      grid.first = k;
      misses = 0;
    } else {
      ++misses;
    }
  }
  // Music that starts quietly on the beat (a pad, a soft arpeggio) has its first bars counted from
  // its first sound, so bar 1 is the music's first bar: up to two bars back, from the first region.
  if (earliest < 0.0) {
    for (int back = 0; back < 8 && line.at(static_cast<double>(grid.first - 1)) >= firstSound - grid.reach; ++back) {
      --grid.first;
    }
  }
  for (long k = grid.last + 1, misses = 0; line.at(static_cast<double>(k)) < latest - line.period / 2 && misses <= 4; ++k) {
    if (heard(k)) {
      grid.last = k;
      misses = 0;
    } else {
      ++misses;
    }
  }

  const std::vector<Match> matches = matchesOf(onsets, line, grid.first - 8, grid.last + 8, grid.reach);
  std::vector<double> weights;
  for (const Match& m : matches) weights.push_back(m.weight);
  const double heavy = 0.5 * median(weights);
  double spread = 0.0;
  double total = 0.0;
  for (const Match& m : matches) {
    if (m.weight < heavy) continue;
    const double off = m.time - line.at(m.k);
    spread += m.weight * off * off;
    total += m.weight;
  }
  const bool steady = total > 0.0 && std::sqrt(spread / total) < 0.0025;

  std::vector<double> beats;
  for (long k = grid.first; k <= grid.last; ++k) {
    const double kk = static_cast<double>(k);
    const double beat = steady ? line.at(kk) : placedLocally(line, matches, kk, grid.reach);
    if (beat >= -halfFrame && beat <= length) beats.push_back(std::max(0.0, beat));
  }
  return beats;
}

}  // namespace

BeatGrid findBeats(const std::int16_t* samples, std::uint64_t frames) {
  BeatGrid grid;
  if (samples == nullptr || frames < window * 4) return grid;
  const std::vector<Region> regions = regionsOf(trackerBeats(samples, frames));
  if (regions.empty()) return grid;
  const std::vector<Onset> onsets = findOnsets(samples, frames, sampleRate);
  std::vector<RegionGrid> fitted;
  for (const Region& region : regions) {
    if (const auto grid = regionGrid(region, onsets)) fitted.push_back(*grid);
  }
  std::vector<RegionGrid> grids;
  for (std::size_t r = 0; r < fitted.size(); ++r) {
    if (trimmed(fitted[r], onsets, r > 0, r + 1 < fitted.size())) grids.push_back(fitted[r]);
  }
  // Each region reaches out as far as the ones beside, and not before the music or after it.
  const double length = static_cast<double>(frames) / sampleRate;
  const double sound = firstSound(samples, frames);
  for (std::size_t r = 0; r < grids.size(); ++r) {
    const double earliest = r > 0 ? grids[r - 1].line.at(static_cast<double>(grids[r - 1].last)) : -1.0;
    const double latest = r + 1 < grids.size() ? grids[r + 1].line.at(static_cast<double>(grids[r + 1].first)) : length + 1.0;
    const std::vector<double> beats = regionBeats(grids[r], onsets, earliest, latest, sound, length);
    grid.beats.insert(grid.beats.end(), beats.begin(), beats.end());
  }
  std::sort(grid.beats.begin(), grid.beats.end());
  // Where regions meet, a beat found twice is kept once.
  std::vector<double> single;
  for (double beat : grid.beats) {
    const double gap = single.size() >= 2 ? single.back() - single[single.size() - 2] : 60.0 / fastestBpm;
    if (single.empty() || beat - single.back() > 0.5 * gap) single.push_back(beat);
  }
  grid.beats = std::move(single);
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
