#include "resources/WholeFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "resources/Utf8Path.h"

namespace glowmarch {

std::optional<FileBytes> readWholeFile(const char* path) {
  std::error_code error;
  // Names are UTF-8, which std::filesystem takes only as such.
  if (!std::filesystem::is_regular_file(pathFromUtf8(path), error)) return std::nullopt;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return std::nullopt;
  const std::uintmax_t expected = std::filesystem::file_size(pathFromUtf8(path), error);
  // The size is only a hint, for one allocation in the usual case; the spare byte holds the zero.
  std::size_t capacity = error ? 0 : static_cast<std::size_t>(expected);
  capacity = capacity + 1 < (1u << 16) ? (1u << 16) : capacity + 1;
  FileBytes bytes;
  bytes.data = std::make_unique_for_overwrite<char[]>(capacity);
  for (;;) {
    if (bytes.size == capacity) {
      auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(larger.get(), bytes.data.get(), bytes.size);
      bytes.data = std::move(larger);
      capacity *= 2;
    }
    const std::size_t got = std::fread(bytes.data.get() + bytes.size, 1, capacity - bytes.size, file);
    bytes.size += got;
    if (got == 0) break;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  // The loop ends with room to spare: the last read found the end before filling it.
  bytes.data[bytes.size] = '\0';
  return bytes;
}

}  // namespace glowmarch
