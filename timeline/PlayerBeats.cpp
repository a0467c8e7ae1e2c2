// The show's beat file, read when the show starts: what the uniform "musicbeat" counts.
#include <cstdio>
#include <filesystem>

#include "audio/BeatFile.h"
#include "resources/WholeFile.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

// Enough to point at the first mistakes; the check lists them all.
constexpr std::size_t toldSkips = 10;

}  // namespace

void Player::readBeats() {
  namespace fs = std::filesystem;
  const char* path = audio::beatFilePath;
  std::error_code error;
  if (!fs::exists(path, error)) return;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || !fs::is_regular_file(path, error)) {
    std::printf("%s: not a file the player can read; musicbeat is not set\n", path);
    return;
  }
  if (size > audio::maxBeatFileBytes) {
    std::printf("%s: %llu bytes, too large for a beat file; musicbeat is not set\n", path,
                static_cast<unsigned long long>(size));
    return;
  }
  const std::optional<FileBytes> bytes = readWholeFile(path);
  if (!bytes) {
    std::printf("%s: not a file the player can read; musicbeat is not set\n", path);
    return;
  }
  audio::BeatFile file = audio::parseBeatFile(bytes->text());
  for (std::size_t i = 0; i < file.skipped.size() && i < toldSkips; ++i) {
    std::printf("%s:%d: skipped: %s\n", path, file.skipped[i].line, file.skipped[i].reason.c_str());
  }
  if (file.skipped.size() > toldSkips) {
    std::printf("%s: %llu more lines skipped\n", path, static_cast<unsigned long long>(file.skipped.size() - toldSkips));
  }
  if (file.beats.size() < 2) {
    std::printf("%s: fewer than two beats; musicbeat is not set\n", path);
    return;
  }
  beats = std::move(file.beats);
  beatsPerBar = file.beatsPerBar;
}

}  // namespace glowmarch
