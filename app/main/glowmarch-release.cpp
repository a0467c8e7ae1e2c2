// The player as a released show carries it: no options, and the show is the one beside the executable,
// whatever folder it was started from.
#include <filesystem>
#include <system_error>

#include "app/platform/System.h"
#include "app/shell/Shell.h"

int main() {
  // The listing and the "Doing: " lines reach a console, log or pipe as they happen.
  glowmarch::system::connectStandardStreams();
  const std::filesystem::path folder = glowmarch::system::executableFolder();
  std::error_code ignored;
  // A folder that cannot be entered leaves the working folder: the show then says what it misses.
  if (!folder.empty()) std::filesystem::current_path(folder, ignored);
  return glowmarch::runApplication();
}
