// The UV sphere's mesh in memory: rings from pole to pole, one triangle strip over all of them.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/Demoeffect.h"

namespace glowmarch {

struct SphereMesh {
  std::int32_t rings = 0;
  std::int32_t segments = 0;
  std::vector<Vertex> vertices;      // ring-major: ring i, position j at i * segments + j
  std::vector<std::uint16_t> indices;  // 2 * (rings - 1) * segments strip entries
};

// A unit sphere, ring 0 at (0, 1, 0). The last position of each ring repeats the first with
// s = 1, so the texture wraps exactly once. Needs rings >= 2, segments >= 2, and
// rings * segments vertices addressable with 16-bit indices.
SphereMesh generateSphereMesh(std::int32_t rings, std::int32_t segments);

}  // namespace glowmarch
