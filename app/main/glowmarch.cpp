// Glowmarch: plays the show in the working directory's data/ folder.
#include <cstdio>
#include <string>
#include <vector>

#include "app/check/ShowCheck.h"
#include "app/edit/BeatsCommand.h"
#include "app/edit/EditMode.h"
#include "app/edit/NewShow.h"
#include "app/platform/System.h"
#include "app/release/Release.h"
#include "app/shell/Shell.h"

int main(int argc, char** argv) {
  // The listing and the "Doing: " lines reach a log or a pipe as they happen, not when a buffer fills.
  glowmarch::system::connectStandardStreams();
  if (argc > 1 && std::string(argv[1]) == "--check") {
    return glowmarch::runCheck(std::vector<std::string>(argv + 2, argv + argc));
  }
  if (argc > 1 && std::string(argv[1]) == "--beats") {
    return glowmarch::runBeats(std::vector<std::string>(argv + 2, argv + argc));
  }
  if (argc > 1 && std::string(argv[1]) == "--release") {
    return glowmarch::runRelease(std::vector<std::string>(argv + 2, argv + argc));
  }
  if (argc > 1 && std::string(argv[1]) == "--new") {
    return glowmarch::runNewShow(std::vector<std::string>(argv + 2, argv + argc));
  }
  // Any other option is the edit mode's (or --help); with none the player is what it always was.
  if (argc > 1) return glowmarch::runEditCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  return glowmarch::runApplication();
}
