// The music's beats and onsets, found with aubio, for the timeline's beat grid; and the beat a
// Page Up or Page Down goes to.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace glowmarch {

struct BeatGrid {
  std::vector<double> beats;   // seconds, rising
  std::vector<double> onsets;  // seconds, rising
};

// Reads interleaved 16-bit stereo at 44.1 kHz. Music too short or silent gives no beats, no error.
BeatGrid findBeats(const std::int16_t* samples, std::uint64_t frames);

// The last beat before `seconds` (by more than half a grid frame), or the first after it.
std::optional<double> previousBeat(const std::vector<double>& beats, double seconds);
std::optional<double> nextBeat(const std::vector<double>& beats, double seconds);

}  // namespace glowmarch
