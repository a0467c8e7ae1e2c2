#include "effects/PolygonCutter.h"

#include <algorithm>
#include <cmath>

namespace glowmarch {

namespace {

using Vector = std::array<double, 3>;

Vector difference(const std::array<float, 3>& a, const std::array<float, 3>& b) {
  return {double{a[0]} - b[0], double{a[1]} - b[1], double{a[2]} - b[2]};
}
double dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vector cross(const Vector& a, const Vector& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Newell's normal: twice the area of the polygon's projection onto each axis plane, so it points
// the way the polygon winds counter-clockwise. Taken from the first corner, for precision.
Vector newellNormal(std::span<const std::array<float, 3>> corners) {
  Vector normal{};
  const std::size_t n = corners.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Vector a = difference(corners[i], corners[0]);
    const Vector b = difference(corners[(i + 1) % n], corners[0]);
    normal[0] += (a[1] - b[1]) * (a[2] + b[2]);
    normal[1] += (a[2] - b[2]) * (a[0] + b[0]);
    normal[2] += (a[0] - b[0]) * (a[1] + b[1]);
  }
  return normal;
}

// A direction across the normal.
Vector acrossNormal(const Vector& normal) {
  const double ax = std::fabs(normal[0]), ay = std::fabs(normal[1]), az = std::fabs(normal[2]);
  const Vector axis = ax <= ay && ax <= az ? Vector{1, 0, 0} : ay <= az ? Vector{0, 1, 0} : Vector{0, 0, 1};
  return cross(normal, axis);
}

// Turns the same way at every corner (or goes straight on), and only once around: a polygon that
// turned twice around (a pentagram) turns back along any direction more than twice.
bool isConvex(std::span<const std::array<float, 3>> corners, const Vector& normal) {
  const std::size_t n = corners.size();
  const double normalSquared = dot(normal, normal);
  const Vector along = acrossNormal(normal);
  int firstSign = 0, lastSign = 0, reversals = 0;
  Vector in = difference(corners[0], corners[n - 1]);
  for (std::size_t i = 0; i < n; ++i) {
    const Vector out = difference(corners[(i + 1) % n], corners[i]);
    const double turn = dot(cross(in, out), normal);
    if (!(turn >= 0.0)) return false;
    // Straight on, or folding back onto itself.
    if (turn == 0.0 && dot(in, out) - dot(in, normal) * dot(out, normal) / normalSquared < 0.0) return false;
    const double step = dot(out, along);
    const int sign = (step > 0.0) - (step < 0.0);
    if (sign != 0) {
      if (lastSign == 0) firstSign = sign;
      if (lastSign != 0 && sign != lastSign) ++reversals;
      lastSign = sign;
    }
    in = out;
  }
  if (lastSign != firstSign) ++reversals;
  return reversals <= 2;
}

}  // namespace

// Positive when the outline turns left (inward) at the corner.
double PolygonCutter::turn(std::int32_t b) const {
  const std::int32_t a = previous[b], c = next[b];
  return (x[b] - x[a]) * (y[c] - y[b]) - (y[b] - y[a]) * (x[c] - x[b]);
}

// No other corner lies in the triangle or on its sides, apart from corners at the same place as
// its own (a polygon that touches itself there).
bool PolygonCutter::isEar(std::int32_t b) const {
  const std::int32_t a = previous[b], c = next[b];
  const double t = turn(b);
  if (t < 0.0) return false;
  // Nothing to cut off but a line: taking it away leaves the outline's area as it was.
  if (!(t > 0.0)) return true;
  const double minX = std::min({x[a], x[b], x[c]}), maxX = std::max({x[a], x[b], x[c]});
  const double minY = std::min({y[a], y[b], y[c]}), maxY = std::max({y[a], y[b], y[c]});
  const auto side = [&](std::int32_t from, std::int32_t to, std::int32_t p) {
    return (x[to] - x[from]) * (y[p] - y[from]) - (y[to] - y[from]) * (x[p] - x[from]);
  };
  const auto at = [&](std::int32_t p, std::int32_t q) { return x[p] == x[q] && y[p] == y[q]; };
  for (std::int32_t p = next[c]; p != a; p = next[p]) {
    if (x[p] < minX || x[p] > maxX || y[p] < minY || y[p] > maxY) continue;
    if (at(p, a) || at(p, b) || at(p, c)) continue;
    if (side(a, b, p) >= 0.0 && side(b, c, p) >= 0.0 && side(c, a, p) >= 0.0) return false;
  }
  return true;
}

const std::vector<std::uint32_t>& PolygonCutter::cut(std::span<const std::array<float, 3>> corners) {
  triangles.clear();
  const std::size_t n = corners.size();
  if (n < 4 || n > maxCutCorners) return triangles;
  const Vector normal = newellNormal(corners);
  const double normalSquared = dot(normal, normal);
  if (!(normalSquared > 0.0) || !std::isfinite(normalSquared) || isConvex(corners, normal)) return triangles;

  // The plane's axes u and v with u x v along the normal: the outline runs counter-clockwise.
  Vector u = acrossNormal(normal);
  const double uLength = std::sqrt(dot(u, u));
  for (double& value : u) value /= uLength;
  Vector v = cross(normal, u);
  const double vLength = std::sqrt(dot(v, v));
  for (double& value : v) value /= vLength;
  x.resize(n);
  y.resize(n);
  previous.resize(n);
  next.resize(n);
  ear.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const Vector p = difference(corners[i], corners[0]);
    x[i] = dot(p, u);
    y[i] = dot(p, v);
    previous[i] = static_cast<std::int32_t>((i + n - 1) % n);
    next[i] = static_cast<std::int32_t>((i + 1) % n);
  }
  for (std::size_t i = 0; i < n; ++i) ear[i] = isEar(static_cast<std::int32_t>(i));

  // Cutting an ear changes only its neighbours' standing in a simple polygon; one that touches or
  // crosses itself may need a fresh look, within a budget that keeps the work quadratic.
  std::size_t looks = n;
  const std::size_t budget = 8 * n;
  std::size_t remaining = n;
  std::int32_t corner = 0;
  const auto findEar = [&] {
    std::int32_t p = corner;
    for (std::size_t k = 0; k < remaining; ++k, p = next[p]) {
      if (ear[p]) return p;
    }
    return std::int32_t{-1};
  };
  while (remaining > 3) {
    std::int32_t found = findEar();
    if (found < 0 && looks + remaining <= budget) {
      std::int32_t p = corner;
      for (std::size_t k = 0; k < remaining; ++k, p = next[p]) ear[p] = isEar(p);
      looks += remaining;
      found = findEar();
    }
    if (found < 0) {
      // Crossing itself: no true ear is left. Any corner turning inward will do.
      found = corner;
      std::int32_t p = corner;
      for (std::size_t k = 0; k < remaining; ++k, p = next[p]) {
        if (turn(p) > 0.0) {
          found = p;
          break;
        }
      }
    }
    const std::int32_t a = previous[found], c = next[found];
    triangles.insert(triangles.end(), {static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(found),
                                       static_cast<std::uint32_t>(c)});
    next[a] = c;
    previous[c] = a;
    --remaining;
    ear[a] = isEar(a);
    ear[c] = isEar(c);
    looks += 2;
    corner = c;
  }
  triangles.insert(triangles.end(), {static_cast<std::uint32_t>(previous[corner]), static_cast<std::uint32_t>(corner),
                                     static_cast<std::uint32_t>(next[corner])});
  return triangles;
}

}  // namespace glowmarch
