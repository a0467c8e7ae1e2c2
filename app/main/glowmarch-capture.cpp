// glowmarch-capture: renders the show in the working directory's data/ folder to PNG frames and a WAV file.
#include <cstdio>
#include <string>
#include <vector>

#include "app/capture/Capture.h"

int main(int argc, char** argv) {
  // The listing and the "Doing: " lines reach a log or a pipe as they happen, as the player's do.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  return glowmarch::runCapture(std::vector<std::string>(argv + 1, argv + argc));
}
