#include "effects/KeptMeshes.h"

#include <algorithm>
#include <tuple>

#include "resources/KeptResources.h"

namespace glowmarch {

namespace {

using MeshKey = std::tuple<std::string, std::uint64_t, std::array<GLint, 3>>;

std::vector<std::pair<GLuint, GLuint>> showBuffers;
Handover<MeshKey, KeptMesh> meshes;

void deleteBuffers(GLuint vao, GLuint vbo) {
  glDeleteVertexArrays(1, &vao);
  glDeleteBuffers(1, &vbo);
}

}  // namespace

void recordShowBuffers(GLuint vao, GLuint vbo) { showBuffers.emplace_back(vao, vbo); }

const KeptMesh* findKeptMesh(const std::string& path, std::uint64_t hash, const std::array<GLint, 3>& layout) {
  return meshes.take(MeshKey{path, hash, layout});
}

void keepMesh(const std::string& path, std::uint64_t hash, const std::array<GLint, 3>& layout, KeptMesh mesh) {
  const auto own = std::find(showBuffers.begin(), showBuffers.end(), std::pair(mesh.vao, mesh.vbo));
  if (own != showBuffers.end()) showBuffers.erase(own);
  meshes.add(MeshKey{path, hash, layout}, std::move(mesh));
}

void releaseShowMeshes() {
  for (const auto& [vao, vbo] : showBuffers) deleteBuffers(vao, vbo);
  showBuffers.clear();
  meshes.handOver([](const KeptMesh& mesh) { deleteBuffers(mesh.vao, mesh.vbo); });
}

void clearShowMeshes() {
  showBuffers.clear();
  meshes.clear();
}

}  // namespace glowmarch
