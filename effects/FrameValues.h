// The per-frame values the frame loop publishes and every scene object reads while it draws.
#pragma once

#include <GL/glew.h>

namespace glowmarch {

inline constexpr int spectrumBins = 256;

extern double musicTime;   // seconds: music position, or the wall clock when no music plays
extern double frameDelta;  // wall-clock seconds since the previous frame
extern float musicData[spectrumBins];  // weighted spectrum, uploaded as "musicdata"
// The beat position at musicTime, uploaded as "musicbeat" while the show has a beat file.
extern bool hasMusicBeat;
extern double musicBeat;
extern GLuint currentProgram;          // program last made current by a draw; 0 after each frame
// While set, drawing shows the objects as they stand without advancing them: the same frame drawn
// again, e.g. with programs replaced in place.
extern bool drawingAgain;

// Back to the start-of-process values, for a fresh show in tests.
void resetFrameValues();

}  // namespace glowmarch
