#include "app/edit/BeatsCommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/common/CommandLine.h"
#include "app/edit/BeatGrid.h"
#include "app/edit/ReplaceFile.h"
#include "audio/BeatFile.h"
#include "audio/DecodedMusic.h"
#include "resources/WholeFile.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

double bpmOf(const std::vector<double>& beats) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < beats.size(); ++i) gaps.push_back(beats[i] - beats[i - 1]);
  if (gaps.empty()) return 0.0;
  std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
  return 60.0 / gaps[gaps.size() / 2];
}

}  // namespace

bool writeBeatFile(const std::vector<double>& beats, std::string& report) {
  const std::string path = audio::beatFilePath;
  const double bpm = bpmOf(beats);
  char tempo[160];
  std::snprintf(tempo, sizeof tempo, "Beats of %s, found by glowmarch (%.1f BPM).", musicPath, bpm);
  const std::string text = audio::formatBeatFile(
      beats, 4, {tempo, "One beat time in seconds per line, rising; musicbeat counts them from 0. Edit as you like."});
  const std::optional<FileBytes> old = readWholeFile(path.c_str());
  const bool existed = old.has_value();
  const std::string before = existed ? std::string(old->text()) : std::string();
  if (existed && before == text) {
    report = path + " holds these beats already";
    return true;
  }
  std::string error;
  // A file edited by hand is not lost to a key pressed by mistake.
  if (existed && !replaceFile(path + ".old", before, error)) {
    report = "nothing written: " + path + " could not be kept as " + path + ".old (" + error + ")";
    return false;
  }
  if (!replaceFile(path, text, error)) {
    report = "nothing written: " + path + " cannot be written (" + error + ")";
    return false;
  }
  char summary[200];
  std::snprintf(summary, sizeof summary, "%zu beats from %.3f s to %.3f s, %.1f BPM", beats.size(),
                beats.empty() ? 0.0 : beats.front(), beats.empty() ? 0.0 : beats.back(), bpm);
  report = "wrote " + path + ": " + summary + (existed ? " (the file before kept as " + path + ".old)" : "");
  return true;
}

int runBeats(const std::vector<std::string>& arguments) {
  if (!enterShowFolderArgument("--beats", arguments)) return 2;
  const auto music = audio::DecodedMusic::open(musicPath);
  if (!music) {
    std::fprintf(stderr, "glowmarch --beats: no music the player can play at %s\n", musicPath);
    return 2;
  }
  const std::uint64_t frames = music->waitForFrames(UINT64_MAX);
  const BeatGrid grid = findBeats(music->samples(), frames);
  if (grid.beats.size() < 2) {
    std::fprintf(stderr, "glowmarch --beats: no steady beat found in %s; nothing written\n", musicPath);
    return 1;
  }
  std::string report;
  const bool written = writeBeatFile(grid.beats, report);
  std::fprintf(written ? stdout : stderr, "glowmarch --beats: %s\n", report.c_str());
  return written ? 0 : 2;
}

}  // namespace glowmarch
