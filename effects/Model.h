// A triangle mesh read from an OBJ file by the parameter "loadobj;<path>" and drawn with its indices.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/Demoeffect.h"

namespace glowmarch {

class Model : public Demoeffect {
 public:
  std::vector<Vertex> vertices;        // only while a load runs; emptied after the upload
  std::vector<std::uint32_t> indices;  // drawn from client memory at every draw
  bool loaded = false;

  Model();
  // The copy shares the vertex array and buffer and gets its own index list.
  Model(const Model& other) = default;
  ~Model() override;

  // Nothing at all (no placement update, no children) until a mesh is loaded.
  void draw() override;
  std::unique_ptr<Demoeffect> clone() const override;
  void local(float time, char* text) override;

  // Reads and uploads the mesh, replacing an earlier one. False, silently, when the file cannot
  // be read; false with "Couldn't load %s" when it yields no vertex.
  bool loadObj(const char* path);
};

}  // namespace glowmarch
