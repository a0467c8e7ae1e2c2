#include "resources/TextureLibrary.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "resources/KeptResources.h"
#include "resources/PngDecoder.h"
#include "resources/WholeFile.h"

namespace glowmarch {

namespace {

// Keyed by the name as the caller gave it, not by the path that was opened.
std::map<std::string, GLuint, std::less<>> textures;

// While resources are kept: each texture of this show and of the show before, by its name and the
// path and content of its file.
using TextureFile = std::tuple<std::string, std::string, std::uint64_t>;
Handover<TextureFile, GLuint> keptTextures;

}  // namespace

GLuint findTexture(std::string_view name) {
  auto found = textures.find(name);
  if (found != textures.end()) return found->second;
  return loadTexture(name);
}

GLuint loadTexture(std::string_view name) {
  const std::string key(name);
  std::string path = key;
  std::optional<FileBytes> file = readWholeFile(path.c_str());
  if (!file) {
    path = "data/textures/" + key;
    file = readWholeFile(path.c_str());
  }
  std::uint64_t hash = 0;
  if (file && keepingResources()) {
    hash = contentHash(file->bytes(), file->size);
    if (const GLuint* kept = keptTextures.take(TextureFile{key, path, hash})) {
      // The same picture: bound as a load leaves it, and nothing decoded or uploaded.
      glBindTexture(GL_TEXTURE_2D, *kept);
      textures.emplace(key, *kept);
      return *kept;
    }
  }
  if (!file) {
    std::printf("Couldn't find texture: %s\n", key.c_str());
    std::fflush(stdout);
    return 0;
  }

  DecodedImage image;
  const PngError error = decodePng(file->bytes(), file->size, image);
  if (error != PngError::none) {
    std::printf("Decode png failed: %u\n", static_cast<unsigned>(error));
    std::fflush(stdout);
    return 0;
  }
  flipRows(image.pixels.data(), image.width, image.height);

  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // Linear without mipmaps: the texture is complete with level 0 alone.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
  // RGBA8 rows are whole multiples of 4 bytes, so the default unpack alignment fits.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(image.width), static_cast<GLsizei>(image.height),
               0, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
  textures.emplace(key, id);
  if (keepingResources()) keptTextures.add(TextureFile{key, path, hash}, id);
  return id;
}

void flipRows(std::uint8_t* pixels, std::uint32_t width, std::uint32_t height) {
  const std::size_t rowBytes = std::size_t{width} * 4;
  for (std::uint32_t i = 0; i < height / 2; ++i) {
    std::uint8_t* top = pixels + i * rowBytes;
    std::uint8_t* bottom = pixels + std::size_t{height - 1 - i} * rowBytes;
    std::swap_ranges(top, top + rowBytes, bottom);
  }
}

void clearTextureLibrary() {
  textures.clear();
  keptTextures.clear();
}

void releaseTextureLibrary() {
  keptTextures.handOver([](GLuint id) { glDeleteTextures(1, &id); });
  textures.clear();
}

std::string_view textureName(GLuint texture) {
  if (texture == 0) return {};
  for (const auto& [name, registered] : textures) {
    if (registered == texture) return name;
  }
  return {};
}

}  // namespace glowmarch
