// Fuzzes the OBJ reader with whole files, and checks the mesh it gives can be drawn as it stands.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "effects/ObjReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const glowmarch::ObjMesh mesh = glowmarch::readObj(std::string_view(reinterpret_cast<const char*>(data), size));
  // Whole triangles only, and every index inside the vertex list: the draw reads the buffer at each.
  if (mesh.indices.size() % 3 != 0) std::abort();
  for (std::uint32_t index : mesh.indices) {
    if (index >= mesh.vertices.size()) std::abort();
  }
  if (mesh.vertices.size() > mesh.indices.size()) std::abort();
  return 0;
}
