// Where each sound of the music starts, to the millisecond: the rise of its level in three bands
// (kick and bass, the middle, hi-hats), measured over the same span on both sides of every instant,
// so that a hit is found where it starts and not where a detector's window happens to end.
#pragma once

#include <cstdint>
#include <vector>

namespace glowmarch {

struct Onset {
  double time = 0.0;    // seconds
  float weight = 0.0f;  // the rise in level, the low bands counting most
};

// The onsets of interleaved 16-bit stereo at `rate` frames per second, rising in time.
std::vector<Onset> findOnsets(const std::int16_t* samples, std::uint64_t frames, int rate);

}  // namespace glowmarch
