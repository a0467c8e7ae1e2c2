// Paths as UTF-8 text and back, the same on every system. Paths are UTF-8 text throughout the
// programs, but std::filesystem reads a plain string in the C library's narrow encoding, which on
// Windows is not UTF-8 even where the process's code page is: a path made from text, and text made
// from a path, go through these.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace glowmarch {

inline std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// With '/' between the parts on every system: archive names, and messages that read the same on both.
inline std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

// With the system's own separators: as a person on that system types and reads a path.
inline std::string nativeUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace glowmarch
