// PNG textures loaded by name on first use and shared for the whole show.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <string_view>

namespace glowmarch {

// The texture registered under `name`, loading it first if needed; 0 (with a message) on failure.
// A registered name touches no GL state.
GLuint findTexture(std::string_view name);

// Reads `name` as a path, else "data/textures/" + name, decodes it and uploads it upright.
// Registers and returns the new texture, left bound to GL_TEXTURE_2D; 0 with a message on failure,
// and then nothing is registered, so the next request tries again.
GLuint loadTexture(std::string_view name);

// Reverses the order of the RGBA8 rows in place: the decoder gives the top row first,
// GL takes the bottom row first.
void flipRows(std::uint8_t* pixels, std::uint32_t width, std::uint32_t height);

// Forgets every texture (their GL objects die with the context).
void clearTextureLibrary();

// While resources are kept (keepResourcesAcrossShows): hands the show's textures on to the next
// show, which takes one again, without decoding it, when its file has the same content; the
// textures the show before handed on and this one did not take are deleted.
void releaseTextureLibrary();

// The name a texture is registered under, for tools that show a show; empty when none is.
std::string_view textureName(GLuint texture);

}  // namespace glowmarch
