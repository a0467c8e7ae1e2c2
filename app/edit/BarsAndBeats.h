// Musical time on the timeline and in the status: beat i of the grid (0 for its first) is beat
// i mod n + 1 of bar i div n + 1, with n beats to the bar, and the count runs on past the last beat
// at its last interval, as the shaders' musicbeat does.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace glowmarch {

struct BarBeat {
  long bar = 1;   // from 1
  int beat = 1;   // from 1 to the beats per bar
};

// Beat `index` of the grid (0 for its first) as bar and beat.
BarBeat barBeatOf(long index, int beatsPerBar);

// The bar and beat at `seconds`; none before the first beat or without two beats. The grid frame
// nearest a beat (where Page Down lands) counts as on it.
std::optional<BarBeat> barBeatAt(const std::vector<double>& beats, int beatsPerBar, double seconds);

// "12.3"
std::string barBeatText(const BarBeat& at);

// Every how many beats the timeline writes a label, so that labels stand at least `minimumPixels`
// apart: 1 (each beat, as "bar.beat") when there is room, else a whole number of bars, doubling.
int beatLabelStep(double pixelsPerBeat, int beatsPerBar, double minimumPixels);

}  // namespace glowmarch
