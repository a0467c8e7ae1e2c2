#include "audio/BeatFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace glowmarch::audio {

namespace {

constexpr std::string_view barWords = "beats per bar:";

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The words of a line before its comment.
std::string_view beforeComment(std::string_view line) { return trimmed(line.substr(0, line.find('#'))); }

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f s", value);
  return text;
}

}  // namespace

BeatFile parseBeatFile(std::string_view text) {
  BeatFile file;
  // Editors on Windows may open the file with a byte order mark.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int number = 0;
  int lastBeatLine = 0;
  while (!text.empty()) {
    // A line ends at LF, CR LF or a lone CR.
    const std::size_t end = std::min(text.find('\n'), text.find('\r'));
    const std::string_view line = text.substr(0, end);
    const std::size_t next = end == std::string_view::npos ? text.size()
                             : (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2
                                                                                                      : end + 1;
    text.remove_prefix(std::min(next, text.size()));
    ++number;
    const std::string_view words = trimmed(line);
    if (words.empty()) continue;
    if (words.front() == '#') {
      const std::string_view comment = trimmed(words.substr(1));
      if (comment.substr(0, barWords.size()) != barWords) continue;
      const std::string_view count = trimmed(comment.substr(barWords.size()));
      int beats = 0;
      const auto [at, error] = std::from_chars(count.data(), count.data() + count.size(), beats);
      if (error != std::errc() || at != count.data() + count.size() || beats < 1 || beats > 16) {
        file.skipped.push_back({number, "beats per bar takes a whole number from 1 to 16"});
      } else {
        file.beatsPerBar = beats;
      }
      continue;
    }
    std::string_view word = beforeComment(words);
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    double time = 0.0;
    const auto [at, error] = std::from_chars(word.data(), word.data() + word.size(), time);
    if (error != std::errc() || at != word.data() + word.size() || !std::isfinite(time)) {
      const bool comma = word.find(',') != std::string_view::npos && word.find_first_of(" \t") == std::string_view::npos;
      file.skipped.push_back({number, comma ? "a decimal comma: times are written with a point (1.5)"
                                            : "not a time in seconds"});
      continue;
    }
    if (time < 0.0) {
      file.skipped.push_back({number, "before the music's start"});
      continue;
    }
    if (!file.beats.empty() && time <= file.beats.back()) {
      file.skipped.push_back({number, "not after the beat before it (" + seconds(file.beats.back()) + ", line " +
                                          std::to_string(lastBeatLine) + ")"});
      continue;
    }
    file.beats.push_back(time);
    lastBeatLine = number;
  }
  return file;
}

std::string formatBeatFile(const std::vector<double>& beats, int beatsPerBar, const std::vector<std::string>& heading) {
  std::string text;
  for (const std::string& line : heading) text += "# " + line + "\n";
  text += "# " + std::string(barWords) + " " + std::to_string(beatsPerBar) + "\n";
  char line[40];
  for (double beat : beats) {
    std::snprintf(line, sizeof line, "%.4f\n", beat);
    text += line;
  }
  return text;
}

double beatPosition(const std::vector<double>& beats, double seconds) {
  const std::size_t count = beats.size();
  if (count < 2) return 0.0;
  if (seconds < beats[0]) return (seconds - beats[0]) / (beats[1] - beats[0]);
  // The last beat at or before the time.
  const std::size_t i = static_cast<std::size_t>(std::upper_bound(beats.begin(), beats.end(), seconds) - beats.begin()) - 1;
  if (i + 1 >= count) {
    return static_cast<double>(count - 1) + (seconds - beats[count - 1]) / (beats[count - 1] - beats[count - 2]);
  }
  return static_cast<double>(i) + (seconds - beats[i]) / (beats[i + 1] - beats[i]);
}

}  // namespace glowmarch::audio
