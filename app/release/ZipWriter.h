// A .zip of a release folder, as Windows' Explorer unpacks it: names in UTF-8 with the flag that
// says so (so "Nuée" stays "Nuée"), deflated unless already packed, Unix modes kept beside.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/release/Archive.h"

namespace glowmarch {

// Writes `entries` to `archive`, each stamped `time` (local time, as zip keeps it). False with
// `error` when it cannot; what was written is then incomplete and the caller removes it.
bool writeZip(const std::filesystem::path& archive, const std::vector<ArchiveEntry>& entries, std::time_t time,
              std::string& error);

}  // namespace glowmarch
