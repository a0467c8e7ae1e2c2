// The show's beat file as every program reads it: the player for "musicbeat", the check for its
// findings.
#pragma once

#include <cstdint>

#include "audio/BeatFile.h"

namespace glowmarch {

struct ShowBeatFile {
  enum class State { absent, unreadable, tooLarge, read };
  State state = State::absent;
  std::uintmax_t bytes = 0;  // its size, when known
  audio::BeatFile file;      // when read: what it holds, its skipped lines named
};

// data/music/beats.txt in the working folder.
ShowBeatFile readShowBeatFile();

}  // namespace glowmarch
