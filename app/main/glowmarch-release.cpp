// The player as a released show carries it: no options, and the show is the one beside the executable,
// whatever folder it was started from.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/platform/System.h"
#include "app/shell/Shell.h"

int main() {
  // The listing and the "Doing: " lines reach a log or a pipe as they happen, not when a buffer fills.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  const std::string folder = glowmarch::system::executableFolder();
  std::error_code ignored;
  // A folder that cannot be entered leaves the working folder: the show then says what it misses.
  if (!folder.empty()) std::filesystem::current_path(folder, ignored);
  return glowmarch::runApplication();
}
