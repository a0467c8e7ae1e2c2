#include "resources/ShaderLibrary.h"

#include <cstdio>
#include <map>
#include <string>

namespace glowmarch {

namespace {
std::map<std::string, GLuint, std::less<>> shaderPrograms;
}

void createShaderProgram(std::string_view name, std::string_view, std::string_view, std::string_view) {
  shaderPrograms[std::string(name)] = 0;
}

GLuint findShaderProgram(std::string_view name) {
  auto found = shaderPrograms.find(name);
  if (found != shaderPrograms.end()) return found->second;
  std::printf("Tried to find a nonexistant shader program: %.*s\n", static_cast<int>(name.size()), name.data());
  std::fflush(stdout);
  return 0;
}

void clearShaderLibrary() { shaderPrograms.clear(); }

}  // namespace glowmarch
