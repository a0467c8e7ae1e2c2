// A small program for mesh tests: reads all three vertex attributes and paints by "state"
// (1 red, 2 green, otherwise blue), so a picture shows which object lies where.
#pragma once

#include <GL/glew.h>

#include <string>
#include <string_view>

#include "resources/ShaderLibrary.h"
#include "tests/support/TestShow.h"

namespace glowmarch::testing {

inline constexpr std::string_view meshVertexShader =
    "#version 330 compatibility\n"
    "in vec3 in_position;\n"
    "in vec3 in_normal;\n"
    "in vec2 in_texcoords;\n"
    "out vec3 normal;\n"
    "out vec2 uv;\n"
    "void main() {\n"
    "  normal = in_normal;\n"
    "  uv = in_texcoords;\n"
    "  gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);\n"
    "}\n";

// The attributes count for a millionth, so that the compiler keeps them all.
inline constexpr std::string_view meshFragmentShader =
    "#version 330 compatibility\n"
    "uniform int state;\n"
    "in vec3 normal;\n"
    "in vec2 uv;\n"
    "out vec4 colour;\n"
    "void main() {\n"
    "  vec4 base = state == 1 ? vec4(1.0, 0.0, 0.0, 1.0) : state == 2 ? vec4(0.0, 1.0, 0.0, 1.0)\n"
    "                                                     : vec4(0.0, 0.0, 1.0, 1.0);\n"
    "  colour = base + vec4(normal * 1e-6 + vec3(uv, 0.0) * 1e-6, 0.0);\n"
    "}\n";

// Writes the sources into the folder's "data/shaders/" and links them under `name`.
inline GLuint makeMeshProgram(const ScratchFolder& folder, const std::string& name) {
  folder.write("data/shaders/mesh.vert", meshVertexShader);
  folder.write("data/shaders/mesh.frag", meshFragmentShader);
  createShaderProgram(name, "mesh.vert", "mesh.frag", "");
  return findShaderProgram(name);
}

}  // namespace glowmarch::testing
