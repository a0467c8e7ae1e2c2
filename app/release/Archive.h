// The entries of a release's archive, and what its writers (TarGzWriter, ZipWriter) share.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace glowmarch {

struct ArchiveEntry {
  std::string name;            // UTF-8, '/'-separated, no trailing '/': "show-linux-x86_64/lib/libz.so.1"
  std::filesystem::path file;  // where a file's bytes are read; empty for a folder
  bool executable = false;     // a program: mode 755 instead of 644
};

// `folder` itself, named `top`, and everything below it, parents before their contents, in an
// order that does not depend on the file system's.
std::vector<ArchiveEntry> folderEntries(const std::filesystem::path& folder, const std::string& top,
                                        std::error_code& error);

// Whether bytes like these (the start of a file) shrink enough under deflate to be worth the time:
// MP3, PNG and other packed data do not, and are stored as they are.
bool worthCompressing(const unsigned char* bytes, std::size_t size);

// The number of bytes a file's start is judged by.
inline constexpr std::size_t compressionSample = 64 * 1024;

}  // namespace glowmarch
