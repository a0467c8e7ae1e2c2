#include "resources/TextureLibrary.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "resources/KeptResources.h"
#include "resources/PngDecoder.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

// Keyed by the name as the caller gave it, not by the path that was opened.
std::map<std::string, GLuint, std::less<>> textures;

// While resources are kept: which file each texture of this show came from, and what the show
// before handed on.
struct TextureFile {
  std::string path;
  std::uint64_t hash = 0;
  GLuint id = 0;
};
std::map<std::string, TextureFile, std::less<>> textureFiles;
std::map<std::string, TextureFile, std::less<>> keptTextures;

// The whole file, or nothing when it cannot be opened as a file (a folder never can).
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(pathFromUtf8(path), error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  const std::streamoff size = file.tellg();
  if (size < 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  file.read(reinterpret_cast<char*>(bytes.data()), size);
  // A file that shrank while we read it decodes as far as it goes.
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

}  // namespace

GLuint findTexture(std::string_view name) {
  auto found = textures.find(name);
  if (found != textures.end()) return found->second;
  return loadTexture(name);
}

GLuint loadTexture(std::string_view name) {
  const std::string key(name);
  std::string path = key;
  std::optional<std::vector<std::uint8_t>> file = readWholeFile(path);
  if (!file) {
    path = "data/textures/" + key;
    file = readWholeFile(path);
  }
  std::uint64_t hash = 0;
  if (file && keepingResources()) {
    hash = contentHash(file->data(), file->size());
    const auto kept = keptTextures.find(key);
    if (kept != keptTextures.end() && kept->second.path == path && kept->second.hash == hash) {
      // The same picture: bound as a load leaves it, and nothing decoded or uploaded.
      const GLuint id = kept->second.id;
      glBindTexture(GL_TEXTURE_2D, id);
      textureFiles[key] = std::move(kept->second);
      keptTextures.erase(kept);
      textures.emplace(key, id);
      return id;
    }
  }
  if (!file) {
    std::printf("Couldn't find texture: %s\n", key.c_str());
    std::fflush(stdout);
    return 0;
  }

  DecodedImage image;
  const PngError error = decodePng(file->data(), file->size(), image);
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
  if (keepingResources()) textureFiles[key] = TextureFile{path, hash, id};
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
  textureFiles.clear();
  keptTextures.clear();
}

void releaseTextureLibrary() {
  // What the show before handed on and this one did not take is no one's any more.
  for (const auto& entry : keptTextures) glDeleteTextures(1, &entry.second.id);
  keptTextures = std::move(textureFiles);
  textureFiles.clear();
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
