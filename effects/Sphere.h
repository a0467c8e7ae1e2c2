// A generated 20 x 40 UV sphere drawn as one triangle strip, hidden until the music reaches its timer.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/Demoeffect.h"
#include "effects/SphereMesh.h"

namespace glowmarch {

class Sphere : public Demoeffect {
 public:
  std::int32_t rings = 20;
  std::int32_t segments = 40;

  // Takes the program "main", generates the mesh and uploads it.
  Sphere();
  // Clones share the mesh memory, the buffer and the vertex array; the last one frees the memory.
  Sphere(const Sphere& other) = default;
  ~Sphere() override;

  void draw() override;
  std::unique_ptr<Demoeffect> clone() const override;
  bool advance() override;
  // "scale;<factor>" rescales the mesh; any other word is reported.
  void local(float time, char* text) override;
  static std::vector<LocalWord> localWords();

  // Fills the mesh fields and points vertexData and indexData into it.
  void generateMesh();
  // Multiplies every position by the factor (cumulatively, for every sphere sharing the mesh)
  // and uploads the vertices again.
  void rescale(float factor);

 private:
  std::shared_ptr<SphereMesh> mesh;
};

}  // namespace glowmarch
