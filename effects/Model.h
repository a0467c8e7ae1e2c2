// A triangle mesh read from an OBJ file by the parameter "loadobj;<path>" and drawn with its indices.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/Demoeffect.h"

namespace glowmarch {

class Model : public Demoeffect {
 public:
  using IndexList = std::vector<std::uint32_t>;

  std::vector<Vertex> vertices;  // only while a load runs; emptied after the upload
  // Drawn from client memory at every draw. Never changed once loaded (a new load brings a new
  // list), so copies share it: ten thousand particles of a mesh hold one index list, not 10,000.
  std::shared_ptr<const IndexList> indices;
  bool loaded = false;

  Model();
  // The copy shares the vertex array, the buffer and the index list.
  Model(const Model& other) = default;
  ~Model() override;

  // Nothing at all (no placement update, no children) until a mesh is loaded.
  void draw() override;
  bool advance() override;
  std::unique_ptr<Demoeffect> clone() const override;
  void local(float time, char* text) override;
  static std::vector<LocalWord> localWords();

  // Reads and uploads the mesh, replacing an earlier one. False, silently, when the file cannot
  // be read; false with "Couldn't load %s" when it yields no vertex.
  bool loadObj(const char* path);

  const IndexList& indexList() const { return *indices; }
};

}  // namespace glowmarch
