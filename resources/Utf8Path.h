// Paths are UTF-8 text throughout the programs. std::filesystem reads a plain string in the C
// library's narrow encoding, which on Windows is not UTF-8 even where the process's code page is, so
// a path made from text, and text made from a path, go through these.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace glowmarch {

inline std::filesystem::path utf8Path(std::string_view text) {
  return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace glowmarch
