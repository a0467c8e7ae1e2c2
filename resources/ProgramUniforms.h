// The three uniforms every scene object feeds its program, set only when the program holds another value.
// Uniform values belong to the program, so nothing drawn can tell. A link resets a program's values
// and may move its locations: whoever links a program again (the edit mode's saved shaders) forgets
// what is known here.
#pragma once

#include <GL/glew.h>

namespace glowmarch {

inline constexpr int musicDataSize = 256;

// Sets "state", "musictime" and "musicdata" (256 floats) on `program`, which must be current.
void setFrameUniforms(GLuint program, GLint state, float musicTime, const float* musicData);

// Sets "musicbeat" on `program`, which must be current, when it declares it; a program that does not
// is not touched.
void setMusicBeat(GLuint program, float beat);

// Forgets every program's locations and values (a new context may reuse the names).
void forgetProgramUniforms();

}  // namespace glowmarch
