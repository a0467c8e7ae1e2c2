// Player start-up: the fixed GL state, the script read and listed, negative-time lines run.
#include <GL/glew.h>

#include <cstdio>

#include "timeline/Player.h"

namespace glowmarch {

namespace {

bool listing = true;

}  // namespace

void setScriptListing(bool on) { listing = on; }

void Player::parseScript() {
  std::uint64_t size = 0;
  if (!readScriptFile(scriptText, size) || size == 0) return;
  scriptLines = splitScript(scriptText.get(), size);
}

void Player::init() {
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);

  parseScript();
  for (ScriptLine& line : scriptLines) {
    if (listing) std::printf("%s %f\n", line.text, line.time);
    if (line.time < 0.0) executeLine(*this, line);
    // An "END" among the start-up lines ends the show before the rest is even listed.
    if (over()) break;
  }
  std::fflush(stdout);
}

}  // namespace glowmarch
