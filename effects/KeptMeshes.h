// The vertex arrays and buffers a show makes, so a show torn down in a context that goes on can
// delete them, and the meshes of OBJ files handed from one show to the next while resources are
// kept (keepResourcesAcrossShows).
#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace glowmarch {

struct KeptMesh {
  GLuint vao = 0;
  GLuint vbo = 0;
  std::shared_ptr<const std::vector<std::uint32_t>> indices;
};

// A vertex array and its buffer made for the show (only while resources are kept).
void recordShowBuffers(GLuint vao, GLuint vbo);

// The mesh made from a file of this content for a program of this vertex layout, by this show or
// handed on by the one before; null when there is none.
const KeptMesh* findKeptMesh(const std::string& path, std::uint64_t hash, const std::array<GLint, 3>& layout);
// The mesh just made from the file: found again by findKeptMesh, and no longer the show's to delete.
void keepMesh(const std::string& path, std::uint64_t hash, const std::array<GLint, 3>& layout, KeptMesh mesh);

// Deletes the show's own vertex arrays and buffers and the meshes the show before handed on that
// this one did not take; this show's meshes are handed on.
void releaseShowMeshes();
// Forgets everything (the context goes, and its objects with it).
void clearShowMeshes();

}  // namespace glowmarch
