// The show's beat file, data/music/beats.txt: one beat time in seconds per line, rising, "#" starting a
// comment; written by `glowmarch --beats` and by hand. Read here without touching anything, so every
// program reads it alike: the player for the uniform "musicbeat", the check, the edit mode's grid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glowmarch::audio {

inline constexpr const char* beatFilePath = "data/music/beats.txt";
// A beat file is a few kilobytes; a larger file is no beat file and is not read.
inline constexpr std::uint64_t maxBeatFileBytes = 16u << 20;

struct SkippedBeatLine {
  int line = 0;  // counted from 1
  std::string reason;
};

struct BeatFile {
  std::vector<double> beats;  // seconds, rising
  int beatsPerBar = 4;        // "# beats per bar: 3" says otherwise
  std::vector<SkippedBeatLine> skipped;
};

// Reads what it can: a line that is not a time, comes before the music or is not after the beat
// before it is skipped and named.
BeatFile parseBeatFile(std::string_view text);

// The file's text: the comment lines of `heading` (each given without its "# "), the bar's length,
// then one beat per line to the tenth of a millisecond.
std::string formatBeatFile(const std::vector<double>& beats, int beatsPerBar, const std::vector<std::string>& heading);

// Where `seconds` falls among `beats` (at least two, rising): the index of the last beat passed (0 for
// the first) plus the fraction of the way to the next; before the first and after the last, carried
// on with the nearest interval, so the count runs smoothly and is negative before the first beat.
double beatPosition(const std::vector<double>& beats, double seconds);

}  // namespace glowmarch::audio
