// The show's beat file, read when the show starts: what the uniform "musicbeat" counts.
#include <cstdio>
#include <filesystem>

#include "resources/WholeFile.h"
#include "timeline/Player.h"
#include "timeline/ShowBeats.h"

namespace glowmarch {

namespace {

// Enough to point at the first mistakes; the check lists them all.
constexpr std::size_t toldSkips = 10;

}  // namespace

ShowBeatFile readShowBeatFile() {
  namespace fs = std::filesystem;
  const char* path = audio::beatFilePath;
  ShowBeatFile read;
  std::error_code error;
  if (!fs::exists(path, error)) return read;
  read.state = ShowBeatFile::State::unreadable;
  read.bytes = fs::file_size(path, error);
  if (error || !fs::is_regular_file(path, error)) return read;
  if (read.bytes > audio::maxBeatFileBytes) {
    read.state = ShowBeatFile::State::tooLarge;
    return read;
  }
  const std::optional<FileBytes> bytes = readWholeFile(path);
  if (!bytes) return read;
  read.state = ShowBeatFile::State::read;
  read.file = audio::parseBeatFile(bytes->text());
  return read;
}

void Player::readBeats() {
  const char* path = audio::beatFilePath;
  ShowBeatFile read = readShowBeatFile();
  switch (read.state) {
    case ShowBeatFile::State::absent:
      return;
    case ShowBeatFile::State::unreadable:
      std::printf("%s: not a file the player can read; musicbeat is not set\n", path);
      return;
    case ShowBeatFile::State::tooLarge:
      std::printf("%s: %llu bytes, too large for a beat file; musicbeat is not set\n", path,
                  static_cast<unsigned long long>(read.bytes));
      return;
    case ShowBeatFile::State::read:
      break;
  }
  const audio::BeatFile& file = read.file;
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
  beats = std::move(read.file.beats);
  beatsPerBar = read.file.beatsPerBar;
}

}  // namespace glowmarch
