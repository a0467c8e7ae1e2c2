#include "app/edit/ReplaceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "resources/Utf8Path.h"

namespace glowmarch {

namespace fs = std::filesystem;

bool replaceFile(const std::string& path, std::string_view bytes, std::string& error) {
  std::error_code ec;
  fs::path target = pathFromUtf8(path);
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    target = fs::weakly_canonical(target, ec);
    if (ec) {
      error = ec.message();
      return false;
    }
  }
  fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
  if (fs::exists(target, ec)) {
    mode = fs::status(target, ec).permissions();
    // Read-only is the user's word even where the system would let us write (as root).
    if ((mode & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none) {
      error = "it is read-only";
      return false;
    }
    std::FILE* probe = std::fopen(nativeUtf8(target).c_str(), "r+b");
    if (probe == nullptr) {
      error = std::strerror(errno);
      return false;
    }
    std::fclose(probe);
  }
  // Hidden, so the edit mode's watcher takes only the rename for a change.
  const fs::path temporary = target.parent_path() / pathFromUtf8("." + nativeUtf8(target.filename()) + ".new");
  std::FILE* out = std::fopen(nativeUtf8(temporary).c_str(), "wb");
  if (out == nullptr) {
    error = std::string("no new copy can be written beside it: ") + std::strerror(errno);
    return false;
  }
  int failure = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) failure = errno;
  if (std::fclose(out) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    fs::remove(temporary, ec);
    error = std::string("the new copy could not be written whole: ") + std::strerror(failure);
    return false;
  }
  fs::permissions(temporary, mode, ec);
  fs::rename(temporary, target, ec);
  if (ec) {
    error = "the new copy could not take its place: " + ec.message();
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace glowmarch
