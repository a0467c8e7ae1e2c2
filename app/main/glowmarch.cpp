// Glowmarch: plays the show in the working directory's data/ folder.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Shell.h"
#include "app/check/ShowCheck.h"

int main(int argc, char** argv) {
  // The listing and the "Doing: " lines reach a log or a pipe as they happen, not when a buffer fills.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  if (argc > 1 && std::string(argv[1]) == "--check") {
    return glowmarch::runCheck(std::vector<std::string>(argv + 2, argv + argc));
  }
  return glowmarch::runApplication();
}
