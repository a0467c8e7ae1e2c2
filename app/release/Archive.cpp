#include "app/release/Archive.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "resources/Utf8Path.h"

namespace glowmarch {

namespace fs = std::filesystem;

std::vector<ArchiveEntry> folderEntries(const fs::path& folder, const std::string& top, std::error_code& error) {
  std::vector<ArchiveEntry> entries{{top, {}, false}};
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const bool directory = it->is_directory(error);
    if (error) break;
    const std::string name = top + "/" + utf8(it->path().lexically_relative(folder));
    entries.push_back({name, directory ? fs::path() : it->path(), false});
  }
  // A parent's name is a prefix of its contents' names, so it sorts before them.
  std::sort(entries.begin(), entries.end(),
            [](const ArchiveEntry& a, const ArchiveEntry& b) { return a.name < b.name; });
  return entries;
}

bool worthCompressing(const unsigned char* bytes, std::size_t size) {
  if (size < 64) return false;
  uLongf packed = compressBound(static_cast<uLong>(size));
  std::vector<Bytef> out(packed);
  if (compress2(out.data(), &packed, bytes, static_cast<uLong>(size), 1) != Z_OK) return true;
  return packed < size - size / 10;
}

}  // namespace glowmarch
