// Named GLSL stages and programs built from "data/shaders/", shared by name for the whole show.
#pragma once

#include <GL/glew.h>

#include <string_view>

namespace glowmarch {

// Compiles "data/shaders/<name>"; the stage type comes from the first of ".vert", ".frag", ".geom"
// found in the name. A missing file registers an empty stage silently; a failed compile prints
// its log and registers nothing, so the next request tries again. 0 when nothing was made.
GLuint loadShaderSource(std::string_view name);
// The registered stage, loading it on first request; 0 with a message when there is none.
GLuint findShaderSource(std::string_view name);

// Links a program from up to three sources (an empty name is skipped) and registers it
// under `name`, replacing an earlier program of that name, even when linking fails.
void createShaderProgram(std::string_view name, std::string_view source1, std::string_view source2,
                         std::string_view source3);
// The program registered under `name`, or 0 with a message.
GLuint findShaderProgram(std::string_view name);

// Forgets every stage and program (their GL objects die with the context).
void clearShaderLibrary();

// The edit mode's safety net, off by default: a program whose sources no longer compile or link is
// built from the sources of its last good link instead (with a message saying so), so a show being
// edited keeps its picture until a save fixes the error. What is remembered outlives
// clearShaderLibrary, and goes when this is turned off.
void keepLastGoodPrograms(bool keep);

// The name a program is registered under, for tools that show a show; empty when none is (0, or a
// program a later one of its name replaced).
std::string_view shaderProgramName(GLuint program);

}  // namespace glowmarch
