// A file read whole into memory, as every loader of a show's files reads it: a script, a shader, a
// picture, an OBJ mesh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace glowmarch {

struct FileBytes {
  std::unique_ptr<char[]> data;  // `size` bytes, then a zero byte
  std::size_t size = 0;
  std::string_view text() const { return std::string_view(data.get(), size); }
  const std::uint8_t* bytes() const { return reinterpret_cast<const std::uint8_t*>(data.get()); }
};

// The file's bytes to its actual end (one that grows or shrinks while it is read is read as it ends up);
// nothing when it is not a regular file (a folder, a pipe that would never end) or cannot be opened or
// read.
std::optional<FileBytes> readWholeFile(const char* path);

}  // namespace glowmarch
