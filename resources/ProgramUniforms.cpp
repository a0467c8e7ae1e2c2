#include "resources/ProgramUniforms.h"

#include <cstring>
#include <unordered_map>

namespace glowmarch {

namespace {

struct ProgramUniforms {
  GLint stateLocation;
  GLint musicTimeLocation;
  GLint musicDataLocation;
  bool valuesKnown = false;
  GLint state = 0;
  float musicTime = 0.0f;
  float musicData[musicDataSize] = {};
  // Looked up only in a show with a beat file: -2 until then.
  GLint musicBeatLocation = -2;
  bool beatKnown = false;
  float musicBeat = 0.0f;
};

std::unordered_map<GLuint, ProgramUniforms> programs;

ProgramUniforms& uniformsOf(GLuint program) {
  auto found = programs.find(program);
  if (found != programs.end()) return found->second;
  ProgramUniforms entry{glGetUniformLocation(program, "state"), glGetUniformLocation(program, "musictime"),
                        glGetUniformLocation(program, "musicdata")};
  return programs.emplace(program, entry).first->second;
}

}  // namespace

void setFrameUniforms(GLuint program, GLint state, float musicTime, const float* musicData) {
  ProgramUniforms& u = uniformsOf(program);
  const bool known = u.valuesKnown;
  if (!known || u.state != state) {
    glUniform1i(u.stateLocation, state);
    u.state = state;
  }
  // Bitwise, so that a NaN time is not uploaded again and again.
  if (!known || std::memcmp(&u.musicTime, &musicTime, sizeof musicTime) != 0) {
    glUniform1f(u.musicTimeLocation, musicTime);
    u.musicTime = musicTime;
  }
  if (!known || std::memcmp(u.musicData, musicData, sizeof u.musicData) != 0) {
    glUniform1fv(u.musicDataLocation, musicDataSize, musicData);
    std::memcpy(u.musicData, musicData, sizeof u.musicData);
  }
  u.valuesKnown = true;
}

void setMusicBeat(GLuint program, float beat) {
  ProgramUniforms& u = uniformsOf(program);
  if (u.musicBeatLocation == -2) u.musicBeatLocation = glGetUniformLocation(program, "musicbeat");
  if (u.musicBeatLocation < 0) return;
  if (!u.beatKnown || std::memcmp(&u.musicBeat, &beat, sizeof beat) != 0) {
    glUniform1f(u.musicBeatLocation, beat);
    u.musicBeat = beat;
    u.beatKnown = true;
  }
}

void forgetProgramUniforms() { programs.clear(); }

}  // namespace glowmarch
