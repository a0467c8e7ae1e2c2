// The music's beats for the timeline's grid, the beat file and the snapping of time stamps: the
// tempo from aubio's tracker, each beat placed on the onsets around it; and the beat a Page Up or
// Page Down goes to.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace glowmarch {

struct BeatGrid {
  std::vector<double> beats;  // seconds, rising
};

// Reads interleaved 16-bit stereo at 44.1 kHz. Music too short, silent or without a beat gives no
// beats, no error.
BeatGrid findBeats(const std::int16_t* samples, std::uint64_t frames);

// The last beat before `seconds` (by more than half a grid frame), or the first after it.
std::optional<double> previousBeat(const std::vector<double>& beats, double seconds);
std::optional<double> nextBeat(const std::vector<double>& beats, double seconds);

}  // namespace glowmarch
