// PNG textures loaded by name on first use and shared for the whole show.
#pragma once

#include <GL/glew.h>

#include <string_view>

namespace glowmarch {

// The texture registered under `name`, loading it first if needed; 0 (with a message) on failure.
GLuint findTexture(std::string_view name);

// Forgets every texture (their GL objects die with the context).
void clearTextureLibrary();

}  // namespace glowmarch
