// What `glowmarch --release` is asked to make, read from its command line.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace glowmarch {

struct ReleaseOptions {
  bool forLinux = false;
  bool forWindows = false;  // neither named: both
  bool force = false;       // release although the check finds mistakes
  bool help = false;
  std::filesystem::path out = "release";
  std::filesystem::path show;
};

// Reads the arguments after "--release". After "--" every word is a show folder, so a folder whose
// name starts with "-" can be named as it is. Returns what is wrong, empty when read.
std::string readReleaseOptions(const std::vector<std::string>& arguments, ReleaseOptions& options);

extern const char* const releaseUsage;

}  // namespace glowmarch
