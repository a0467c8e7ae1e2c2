// A .tar.gz of a release folder: ustar entries (a pax record carries a name that does not fit),
// names in UTF-8 as they are, owned by root, folders and programs 755, other files 644.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/release/Archive.h"

namespace glowmarch {

// Writes `entries` to `archive`, each stamped `time`. False with `error` when it cannot; what was
// written is then incomplete and the caller removes it.
bool writeTarGz(const std::filesystem::path& archive, const std::vector<ArchiveEntry>& entries, std::time_t time,
                std::string& error);

}  // namespace glowmarch
