// Whether the current GL context is one the show can draw with; asked by every program that makes one.
#pragma once

namespace glowmarch {

// A context the show can draw with: OpenGL 3.3 or later with the compatibility profile (the show mixes
// shader programs with the matrix stack and immediate-mode drawing).
bool isShowContext(int major, int minor, int profileMask);

struct ContextVersion {
  int major;
  int minor;
  bool forTheShow;  // isShowContext of the current context
};
// Asks the current context for its version and profile.
ContextVersion currentContextVersion();
// Empties GL's error queue (GLEW's probing and the profile query of an old context leave errors).
void drainGlErrors();

}  // namespace glowmarch
