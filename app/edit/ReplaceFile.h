// A file the edit mode rewrites (the script, the beat file) is written whole or not at all: a new copy
// beside it, renamed over it only once every byte is on disk, with the old one's permissions.
#pragma once

#include <string>
#include <string_view>

namespace glowmarch {

// False, with what went wrong in `error` and the file as it was, when the file is read-only, cannot be
// written or the disk takes not every byte. A symbolic link is followed: the file it names is replaced.
bool replaceFile(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace glowmarch
