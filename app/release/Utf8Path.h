// Paths as UTF-8 text and back, the same on every system: archive names and messages are UTF-8,
// where path::string() would use Windows' code page.
#pragma once

#include <filesystem>
#include <string>

namespace glowmarch {

inline std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path pathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace glowmarch
