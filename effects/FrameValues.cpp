#include "effects/FrameValues.h"

#include <algorithm>
#include <iterator>

namespace glowmarch {

double musicTime = 0.0;
double frameDelta = 0.0;
float musicData[spectrumBins] = {};
bool hasMusicBeat = false;
double musicBeat = 0.0;
GLuint currentProgram = 0;
bool drawingAgain = false;

void resetFrameValues() {
  musicTime = 0.0;
  frameDelta = 0.0;
  std::fill(std::begin(musicData), std::end(musicData), 0.0f);
  hasMusicBeat = false;
  musicBeat = 0.0;
  currentProgram = 0;
}

}  // namespace glowmarch
