// Glowmarch: plays the show in the working directory's data/ folder.
#include <cstdio>

#include "app/Shell.h"

int main(int, char**) {
  // The listing and the "Doing: " lines reach a log or a pipe as they happen, not when a buffer fills.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  return glowmarch::runApplication();
}
