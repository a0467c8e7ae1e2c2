#include "effects/SphereMesh.h"

#include <cmath>
#include <numbers>

namespace glowmarch {

SphereMesh generateSphereMesh(std::int32_t rings, std::int32_t segments) {
  SphereMesh mesh;
  mesh.rings = rings;
  mesh.segments = segments;
  mesh.vertices.resize(static_cast<std::size_t>(rings) * segments);  // zero-filled
  const double polarStep = std::numbers::pi / (rings - 1);
  const double azimuthStep = 2.0 * std::numbers::pi / (segments - 1);
  for (std::int32_t i = 0; i < rings; ++i) {
    const double polar = i * polarStep;
    for (std::int32_t j = 0; j < segments; ++j) {
      const double azimuth = j * azimuthStep;
      Vertex& vertex = mesh.vertices[static_cast<std::size_t>(i) * segments + j];
      vertex.position[0] = static_cast<float>(std::sin(azimuth) * std::sin(polar));
      vertex.position[1] = static_cast<float>(std::cos(polar));
      vertex.position[2] = static_cast<float>(std::cos(azimuth) * std::sin(polar));
      for (int axis = 0; axis < 3; ++axis) vertex.normal[axis] = vertex.position[axis];
      vertex.texcoords[0] = static_cast<float>(static_cast<double>(j) / (segments - 1));
      vertex.texcoords[1] = static_cast<float>(1.0 - static_cast<double>(i) / (rings - 1));
    }
  }
  // Zigzag between ring i and ring i + 1, running on into the next pair; the triangles at each
  // change of ring are degenerate, so one strip covers the whole sphere.
  const std::int32_t stripStarts = (rings - 1) * segments;
  mesh.indices.reserve(2 * static_cast<std::size_t>(stripStarts));
  for (std::int32_t m = 0; m < stripStarts; ++m) {
    mesh.indices.push_back(static_cast<std::uint16_t>(m));
    mesh.indices.push_back(static_cast<std::uint16_t>(m + segments));
  }
  return mesh;
}

}  // namespace glowmarch
