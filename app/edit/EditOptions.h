// The player's command line: none at all plays the show as always; --edit opens the edit mode.
// Parsed without touching anything, so every answer can be tested.
#pragma once

#include <string>
#include <vector>

namespace glowmarch {

inline constexpr const char* playerProgram = "glowmarch";
// The largest window any display here shows.
inline constexpr int maxEditDimension = 16384;

struct EditOptions {
  bool edit = false;
  bool help = false;
  double at = 0.0;  // music seconds to start at
  bool paused = false;
  int width = 1920;
  int height = 1080;
};

struct ParsedEditOptions {
  EditOptions options;
  std::string error;  // empty when the command line was understood
  bool ok() const { return error.empty(); }
};

// Takes the arguments after the program's name. "--name value" and "--name=value" both work.
ParsedEditOptions parseEditOptions(const std::vector<std::string>& arguments);

// The --help text.
std::string editUsage();

}  // namespace glowmarch
