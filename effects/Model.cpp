#include "effects/Model.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "effects/LocalParameter.h"
#include "effects/ObjReader.h"

namespace glowmarch {

namespace {
constexpr std::size_t reservedEntries = 100;
}

Model::Model() : indices(std::make_shared<const IndexList>()) { vertices.reserve(reservedEntries); }

Model::~Model() = default;

std::unique_ptr<Demoeffect> Model::clone() const { return std::make_unique<Model>(*this); }

void Model::local(float, char* text) {
  const std::optional<LocalParameter> parameter = splitLocalParameter(text);
  if (!parameter) return;
  if (std::strcmp(parameter->word, "loadobj") == 0) {
    loadObj(parameter->value);
  } else {
    reportFailedLocal(*parameter);
  }
}

bool Model::loadObj(const char* path) {
  std::optional<ObjMesh> mesh = readObjFile(path);
  if (!mesh) return false;
  if (mesh->vertices.empty()) {
    std::printf("Couldn't load %s", path);
    return false;
  }
  // A fresh vertex array and buffer: clones made before this load keep drawing the old mesh
  // with the old indices, which still match it.
  vertices = std::move(mesh->vertices);
  indices = std::make_shared<const IndexList>(std::move(mesh->indices));
  setupVertexArray();
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)), vertices.data(),
               GL_STATIC_DRAW);
  loaded = true;
  vertices.clear();
  return true;
}

bool Model::advance() { return loaded && Demoeffect::advance(); }

void Model::draw() {
  if (!advance()) return;
  drawPlaced();
  glBindVertexArray(vao);
  // Indices stay in client memory: no element buffer is bound to this vertex array.
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices->size()), GL_UNSIGNED_INT, indices->data());
}

}  // namespace glowmarch
