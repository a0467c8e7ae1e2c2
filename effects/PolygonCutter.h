// Cuts a polygon of an OBJ face into triangles that stay inside its outline, as modelling tools draw
// their n-gons; pure geometry, no GL.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace glowmarch {

class PolygonCutter {
 public:
  // Above this many corners a concave polygon keeps the fan: ear clipping costs the square of the
  // corners, and a hostile file must not stall the loader.
  static constexpr std::size_t maxCutCorners = 1024;

  // The triangles, as corner numbers three at a time in the polygon's own winding, that cut a
  // concave or self-touching polygon by ear clipping in its best-fit plane (Newell's normal). Empty
  // when the polygon is convex in that plane, has no plane, or is too large: the caller keeps the
  // fan from the first corner.
  const std::vector<std::uint32_t>& cut(std::span<const std::array<float, 3>> corners);

 private:
  bool isEar(std::int32_t corner) const;
  double turn(std::int32_t corner) const;

  std::vector<double> x, y;  // the corners in the plane, counter-clockwise
  std::vector<std::int32_t> previous, next;
  std::vector<char> ear;
  std::vector<std::uint32_t> triangles;
};

}  // namespace glowmarch
