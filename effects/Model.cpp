#include "effects/Model.h"

#include <array>
#include <cstdio>
#include <optional>

#include "effects/KeptMeshes.h"
#include "effects/LocalParameter.h"
#include "effects/ObjReader.h"
#include "resources/KeptResources.h"
#include "resources/ShaderLibrary.h"
#include "resources/WholeFile.h"

namespace glowmarch {

namespace {
constexpr std::size_t reservedEntries = 100;

const LocalSetting<Model> settings[] = {
    {{"loadobj", LocalValue::objPath, "the mesh"}, [](Model& model, float, const char* path) { model.loadObj(path); }},
};
}  // namespace

Model::Model() : indices(std::make_shared<const IndexList>()) { vertices.reserve(reservedEntries); }

Model::~Model() = default;

std::unique_ptr<Demoeffect> Model::clone() const { return std::make_unique<Model>(*this); }

void Model::local(float time, char* text) { applyLocal(*this, settings, time, text); }

std::vector<LocalWord> Model::localWords() { return declaredWords(settings); }

bool Model::loadObj(const char* path) {
  std::optional<ObjMesh> mesh;
  std::uint64_t hash = 0;
  std::array<GLint, 3> layout{};
  if (keepingResources()) {
    layout = attributeLocations(shader);
    const std::optional<FileBytes> bytes = readWholeFile(path);
    if (!bytes) return false;
    hash = contentHash(bytes->data.get(), bytes->size);
    if (const KeptMesh* kept = findKeptMesh(path, hash, layout)) {
      // Bound as a fresh upload leaves them.
      vao = kept->vao;
      vbo = kept->vbo;
      glBindVertexArray(vao);
      glBindBuffer(GL_ARRAY_BUFFER, vbo);
      indices = kept->indices;
      loaded = true;
      return true;
    }
    mesh = readObj(bytes->text());
  } else {
    mesh = readObjFile(path);
  }
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
  if (keepingResources()) keepMesh(path, hash, layout, KeptMesh{vao, vbo, indices});
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
