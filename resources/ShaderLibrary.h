// Named GLSL stages and programs built from "data/shaders/", shared by name for the whole show.
#pragma once

#include <GL/glew.h>

#include <string_view>

namespace glowmarch {

// Links a program from up to three sources (an empty name is skipped) and registers it
// under `name`, replacing an earlier program of that name, even when linking fails.
void createShaderProgram(std::string_view name, std::string_view source1, std::string_view source2,
                         std::string_view source3);
// The program registered under `name`, or 0 with a message.
GLuint findShaderProgram(std::string_view name);

// Forgets every stage and program (their GL objects die with the context).
void clearShaderLibrary();

}  // namespace glowmarch
