#include "effects/KeptMeshes.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace glowmarch {

namespace {

using MeshKey = std::tuple<std::string, std::uint64_t, std::array<GLint, 3>>;

std::vector<std::pair<GLuint, GLuint>> showBuffers;
std::map<MeshKey, KeptMesh> showMeshes;
std::map<MeshKey, KeptMesh> keptMeshes;

void deleteBuffers(GLuint vao, GLuint vbo) {
  glDeleteVertexArrays(1, &vao);
  glDeleteBuffers(1, &vbo);
}

}  // namespace

void recordShowBuffers(GLuint vao, GLuint vbo) { showBuffers.emplace_back(vao, vbo); }

const KeptMesh* findKeptMesh(const std::string& path, std::uint64_t hash, const std::array<GLint, 3>& layout) {
  const MeshKey key{path, hash, layout};
  if (const auto mine = showMeshes.find(key); mine != showMeshes.end()) return &mine->second;
  const auto kept = keptMeshes.find(key);
  if (kept == keptMeshes.end()) return nullptr;
  const auto taken = showMeshes.emplace(key, std::move(kept->second)).first;
  keptMeshes.erase(kept);
  return &taken->second;
}

void keepMesh(const std::string& path, std::uint64_t hash, const std::array<GLint, 3>& layout, KeptMesh mesh) {
  const auto own = std::find(showBuffers.begin(), showBuffers.end(), std::pair(mesh.vao, mesh.vbo));
  if (own != showBuffers.end()) showBuffers.erase(own);
  showMeshes[MeshKey{path, hash, layout}] = std::move(mesh);
}

void releaseShowMeshes() {
  for (const auto& [vao, vbo] : showBuffers) deleteBuffers(vao, vbo);
  showBuffers.clear();
  for (const auto& entry : keptMeshes) deleteBuffers(entry.second.vao, entry.second.vbo);
  keptMeshes = std::move(showMeshes);
  showMeshes.clear();
}

void clearShowMeshes() {
  showBuffers.clear();
  showMeshes.clear();
  keptMeshes.clear();
}

}  // namespace glowmarch
