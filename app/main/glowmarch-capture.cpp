// glowmarch-capture: renders the show in the working directory's data/ folder to PNG frames and a WAV file.
#include <cstdio>
#include <string>
#include <vector>

#include "app/capture/Capture.h"
#include "app/platform/System.h"

int main(int argc, char** argv) {
  // The listing and the "Doing: " lines reach a log or a pipe as they happen, as the player's do.
  glowmarch::system::connectStandardStreams();
  return glowmarch::runCapture(std::vector<std::string>(argv + 1, argv + argc));
}
