#include "effects/ObjReader.h"
#include "effects/PolygonCutter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace glowmarch {
namespace {

// The loader as a person would write it from its description, line by line with sscanf and a
// three-level map, plus the rules for faces it cannot use. The fast reader must match it exactly.
// Concave polygons are cut as the reader cuts them (tested on their own below).
ObjMesh referenceRead(const std::string& text) {
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;
  std::vector<std::array<float, 2>> texcoords;
  std::map<int, std::map<int, std::map<int, int>>> vertexIndexMap;
  Vertex corners[3] = {};
  int nextVertex = 0;
  ObjMesh mesh;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const char* s = line.c_str();
    if (s[0] == 'v' && (s[1] == ' ' || s[1] == '\t')) {
      float x = 0, y = 0, z = 0;
      std::sscanf(s + 1, "%f %f %f", &x, &y, &z);
      positions.push_back({x, y, z});
    } else if (s[0] == 'v' && s[1] == 'n') {
      float x = 0, y = 0, z = 0;
      std::sscanf(s, "vn %f %f %f", &x, &y, &z);
      normals.push_back({x, y, z});
    } else if (s[0] == 'v' && s[1] == 't') {
      float u = 0, v = 0;
      std::sscanf(s, "vt %f %f", &u, &v);
      texcoords.push_back({u, v});
    } else if (s[0] == 'f' && (s[1] == ' ' || s[1] == '\t')) {
      // The form by the line's slashes; with single slashes the first corner tells p/t/n from p/t.
      int ignored = 0, used = 0;
      std::sscanf(s + 1, "%d/%d/%n", &ignored, &ignored, &used);
      const bool positionsNormals = std::strstr(s, "//") != nullptr;
      const bool slashed = std::strchr(s, '/') != nullptr;
      const bool withNormals = positionsNormals || (slashed && used > 0);
      const bool withTextures = slashed && !positionsNormals;
      const char* format = positionsNormals ? "%d//%d%n" : !slashed ? "%d%n" : used > 0 ? "%d/%d/%d%n" : "%d/%d%n";
      const int fields = 1 + withNormals + withTextures;
      // Corners up to the first that does not parse; relative indices count back from the end.
      std::vector<std::array<int, 3>> polygon;  // position, texture, normal; -1: none
      bool ok = true;
      for (const char* c = s + 1;; c += used) {
        int out[4] = {};  // the numbers as written, then the length read
        if (std::sscanf(c, format, &out[0], &out[1], &out[2], &out[3]) != fields) break;
        used = out[fields];
        std::array<int, 3> corner = {out[0], withTextures ? out[1] : -1, !withNormals ? -1 : out[fields - 1]};
        const std::size_t counts[3] = {positions.size(), texcoords.size(), normals.size()};
        for (int k = 0; k < 3; ++k) {
          if (k == 1 && !withTextures) continue;
          if (k == 2 && !withNormals) continue;
          if (corner[k] < 0) corner[k] += static_cast<int>(counts[k]) + 1;
          ok = ok && corner[k] >= 1 && corner[k] <= static_cast<int>(counts[k]);
        }
        polygon.push_back(corner);
      }
      if (!ok || polygon.size() < 3) continue;
      std::vector<std::array<float, 3>> outline;
      for (const auto& corner : polygon) outline.push_back(positions[corner[0] - 1]);
      std::vector<std::uint32_t> order = PolygonCutter().cut(outline);
      const bool fan = order.empty();
      for (std::size_t i = 2; fan && i < polygon.size(); ++i) {
        order.insert(order.end(), {0, static_cast<std::uint32_t>(i - 1), static_cast<std::uint32_t>(i)});
      }
      for (std::size_t i = 0; i < order.size(); i += 3) {
        const std::array<int, 3> triangle[3] = {polygon[order[i]], polygon[order[i + 1]], polygon[order[i + 2]]};
        for (int k = 0; k < 3; ++k) {
          const auto [p, t, n] = triangle[k];
          if (t != -1) std::memcpy(corners[k].texcoords, texcoords[t - 1].data(), 8);
          if (n != -1) std::memcpy(corners[k].normal, normals[n - 1].data(), 12);
          std::memcpy(corners[k].position, positions[p - 1].data(), 12);
        }
        for (int k = 0; k < 3; ++k) {
          const auto [p, t, n] = triangle[k];
          auto& byTexture = vertexIndexMap[p][n];
          if (byTexture.find(t) == byTexture.end()) {
            byTexture[t] = nextVertex++;
            mesh.vertices.push_back(corners[k]);
          }
          mesh.indices.push_back(static_cast<std::uint32_t>(byTexture[t]));
        }
      }
    }
  }
  return mesh;
}

void expectSameMesh(const ObjMesh& actual, const ObjMesh& expected) {
  ASSERT_EQ(actual.vertices.size(), expected.vertices.size());
  EXPECT_EQ(actual.indices, expected.indices);
  for (std::size_t i = 0; i < expected.vertices.size(); ++i) {
    // Bit for bit: the same rounding of every number.
    EXPECT_EQ(std::memcmp(&actual.vertices[i], &expected.vertices[i], sizeof(Vertex)), 0) << "vertex " << i;
  }
}

std::array<float, 3> position(const ObjMesh& mesh, std::size_t index) {
  const Vertex& v = mesh.vertices.at(mesh.indices.at(index));
  return {v.position[0], v.position[1], v.position[2]};
}

std::array<float, 3> normal(const ObjMesh& mesh, std::size_t index) {
  const Vertex& v = mesh.vertices.at(mesh.indices.at(index));
  return {v.normal[0], v.normal[1], v.normal[2]};
}

// A unit cube: 8 corners, 6 face normals, 4 texture corners; two triangles per side.
const char* const cubeHeader =
    "# cube\n"
    "o Cube\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "s off\n";
// Corner positions of each side and its normal number.
const int cubeSides[6][5] = {{1, 4, 3, 2, 1}, {5, 6, 7, 8, 2}, {1, 2, 6, 5, 3},
                             {4, 8, 7, 3, 4}, {1, 5, 8, 4, 5}, {2, 3, 7, 6, 6}};

std::string cube(const char* form) {
  std::string text = cubeHeader;
  char line[128];
  for (const auto& side : cubeSides) {
    const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& triangle : triangles) {
      text += "f";
      for (int corner : triangle) {
        const int p = side[corner], t = corner + 1, n = side[4];
        if (std::strcmp(form, "p") == 0) std::snprintf(line, sizeof line, " %d", p);
        if (std::strcmp(form, "p//n") == 0) std::snprintf(line, sizeof line, " %d//%d", p, n);
        if (std::strcmp(form, "p/t/n") == 0) std::snprintf(line, sizeof line, " %d/%d/%d", p, t, n);
        text += line;
      }
      text += "\n";
    }
  }
  return text;
}

TEST(ObjReader, CubeGivesOneVertexPerDistinctCornerInAllThreeFaceForms) {
  const std::vector<float> cubePositions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
  for (const char* form : {"p//n", "p/t/n", "p"}) {
    SCOPED_TRACE(form);
    const ObjMesh mesh = readObj(cube(form));
    EXPECT_EQ(mesh.vertices.size(), std::strcmp(form, "p") == 0 ? 8u : 24u);
    ASSERT_EQ(mesh.indices.size(), 36u);
    for (std::size_t i = 0; i < 36; ++i) {
      const int side = static_cast<int>(i / 6);
      const int corner = (i % 6 < 3) ? static_cast<int>(i % 3) : std::array{0, 2, 3}[i % 3];
      const int p = cubeSides[side][corner];
      EXPECT_EQ(position(mesh, i), (std::array<float, 3>{cubePositions[3 * (p - 1)], cubePositions[3 * (p - 1) + 1],
                                                         cubePositions[3 * (p - 1) + 2]}))
          << i;
    }
    // Vertices are numbered in the order their corner is first met.
    EXPECT_EQ(std::vector<std::uint32_t>(mesh.indices.begin(), mesh.indices.begin() + 6),
              (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
  }
  const ObjMesh lit = readObj(cube("p//n"));
  EXPECT_EQ(normal(lit, 0), (std::array<float, 3>{0, 0, -1}));
  EXPECT_EQ(normal(lit, 35), (std::array<float, 3>{1, 0, 0}));
  const ObjMesh textured = readObj(cube("p/t/n"));
  const Vertex& third = textured.vertices[textured.indices[2]];
  EXPECT_EQ(third.texcoords[0], 1.0f);
  EXPECT_EQ(third.texcoords[1], 1.0f);
}

TEST(ObjReader, ConvexQuadsAndPentagonsBecomeFansFromTheirFirstCornerInWrittenOrder) {
  const std::string points = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv -0.5 0.5 0\nvn 0 0 1\nvn 0 1 0\n";
  const ObjMesh mesh = readObj(points + "f 1 2 3 4\nf 4//1 3//1 2//2 1//2 5//1\n");
  expectSameMesh(mesh, readObj(points + "f 1 2 3\nf 1 3 4\nf 4//1 3//1 2//2\nf 4//1 2//2 1//2\nf 4//1 1//2 5//1\n"));
  const std::vector<float> corners = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, -0.5f, 0.5f, 0};
  const int written[15] = {1, 2, 3, 1, 3, 4, 4, 3, 2, 4, 2, 1, 4, 1, 5};
  ASSERT_EQ(mesh.indices.size(), 15u);
  for (std::size_t i = 0; i < 15; ++i) {
    const std::size_t p = 3 * static_cast<std::size_t>(written[i] - 1);
    EXPECT_EQ(position(mesh, i), (std::array<float, 3>{corners[p], corners[p + 1], corners[p + 2]})) << i;
  }
  // The corners end where the text stops being one; a face with one bad corner is skipped whole.
  expectSameMesh(readObj(points + "f 1 2 3 4x 5\n"), readObj(points + "f 1 2 3\nf 1 3 4\n"));
  EXPECT_TRUE(readObj(points + "f 1 2 3 4 9\n").indices.empty());
}

// A polygon drawn in the plane of (x, y) and written as a face on a tilted plane in space.
using Point2 = std::array<double, 2>;
constexpr double tiltU[3] = {0.6, 0.0, 0.8};
constexpr double tiltV[3] = {0.0, 1.0, 0.0};

std::string tiltedFace(const std::vector<Point2>& outline) {
  std::string text;
  char line[128];
  for (const Point2& p : outline) {
    std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", 1 + p[0] * tiltU[0] + p[1] * tiltV[0],
                  2 + p[0] * tiltU[1] + p[1] * tiltV[1], 3 + p[0] * tiltU[2] + p[1] * tiltV[2]);
    text += line;
  }
  text += "f";
  for (std::size_t i = 1; i <= outline.size(); ++i) text += " " + std::to_string(i);
  return text + "\n";
}

double cross(const Point2& a, const Point2& b, const Point2& c) {
  return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

double signedArea(const std::vector<Point2>& polygon) {
  double twice = 0;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    twice += cross({0, 0}, polygon[i], polygon[(i + 1) % polygon.size()]);
  }
  return twice / 2;
}

bool insideByCrossings(const std::vector<Point2>& polygon, const Point2& p) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point2& a = polygon[i];
    const Point2& b = polygon[j];
    if ((a[1] > p[1]) != (b[1] > p[1]) && p[0] < (b[0] - a[0]) * (p[1] - a[1]) / (b[1] - a[1]) + a[0]) inside = !inside;
  }
  return inside;
}

// The triangles tile the outline: they wind as it does, lie inside it without crossing its sides,
// and cover its area exactly.
void expectCutInside(const ObjMesh& mesh, const std::vector<Point2>& outline) {
  ASSERT_EQ(mesh.indices.size(), 3 * (outline.size() - 2));
  const double area = signedArea(outline);
  const double epsilon = 1e-5;
  double covered = 0;
  for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
    std::vector<Point2> corners;
    for (std::size_t k = 0; k < 3; ++k) {
      const auto [x, y, z] = position(mesh, t + k);
      corners.push_back({(x - 1) * tiltU[0] + (y - 2) * tiltU[1] + (z - 3) * tiltU[2],
                         (x - 1) * tiltV[0] + (y - 2) * tiltV[1] + (z - 3) * tiltV[2]});
    }
    const double part = signedArea(corners);
    EXPECT_GE(part * (area > 0 ? 1 : -1), -epsilon) << "triangle " << t / 3 << " winds the other way";
    covered += part;
    if (std::fabs(part) > epsilon) {
      const Point2 centre = {(corners[0][0] + corners[1][0] + corners[2][0]) / 3,
                             (corners[0][1] + corners[1][1] + corners[2][1]) / 3};
      EXPECT_TRUE(insideByCrossings(outline, centre)) << "triangle " << t / 3 << " lies outside";
    }
    for (std::size_t k = 0; k < 3; ++k) {
      const Point2& a = corners[k];
      const Point2& b = corners[(k + 1) % 3];
      for (std::size_t i = 0; i < outline.size(); ++i) {
        const Point2& c = outline[i];
        const Point2& d = outline[(i + 1) % outline.size()];
        const bool crosses = cross(a, b, c) * cross(a, b, d) < -epsilon && cross(c, d, a) * cross(c, d, b) < -epsilon;
        EXPECT_FALSE(crosses) << "triangle " << t / 3 << " crosses side " << i;
      }
    }
  }
  EXPECT_NEAR(covered, area, epsilon * std::fabs(area));
}

TEST(ObjReader, ConcaveAndSelfTouchingPolygonsAreCutInsideTheirOutlineAndConvexOnesStayFans) {
  const std::vector<Point2> letterL = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  for (std::size_t first = 0; first < letterL.size(); ++first) {
    SCOPED_TRACE(first);
    std::vector<Point2> turned(letterL.begin() + static_cast<std::ptrdiff_t>(first), letterL.end());
    turned.insert(turned.end(), letterL.begin(), letterL.begin() + static_cast<std::ptrdiff_t>(first));
    expectCutInside(readObj(tiltedFace(turned)), turned);
  }
  // A cog of 33 teeth, 66 corners, written both ways round.
  std::vector<Point2> cog;
  for (int i = 0; i < 66; ++i) {
    const double angle = i * 2 * std::numbers::pi / 66, radius = i % 2 ? 3.0 : 5.0;
    cog.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  expectCutInside(readObj(tiltedFace(cog)), cog);
  const std::vector<Point2> backwards(cog.rbegin(), cog.rend());
  expectCutInside(readObj(tiltedFace(backwards)), backwards);
  // A square with a square hole, joined by a seam the outline runs along twice.
  const std::vector<Point2> framed = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0},
                                      {1, 1}, {1, 3}, {3, 3}, {3, 1}, {1, 1}};
  expectCutInside(readObj(tiltedFace(framed)), framed);

  // Convex, even bent a little out of its plane: the fan from the first corner, bit for bit.
  std::vector<Point2> pentagon;
  for (int i = 0; i < 5; ++i) {
    const double angle = i * 2 * std::numbers::pi / 5;
    pentagon.push_back({2 * std::cos(angle), 2 * std::sin(angle)});
  }
  std::string points = tiltedFace(pentagon);
  points = points.substr(0, points.rfind("f "));
  expectSameMesh(readObj(points + "f 1 2 3 4 5\n"), readObj(points + "f 1 2 3\nf 1 3 4\nf 1 4 5\n"));
  const std::string bent = "v 0 0 0\nv 1 0 0.01\nv 1 1 0\nv 0 1 0.01\n";
  expectSameMesh(readObj(bent + "f 1 2 3 4\n"), readObj(bent + "f 1 2 3\nf 1 3 4\n"));
}

TEST(ObjReader, AByteOrderMarkReadsAsTheSameFileWithoutIt) {
  const std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";
  const ObjMesh plain = readObj(text);
  ASSERT_EQ(plain.indices.size(), 6u);
  expectSameMesh(readObj("\xEF\xBB\xBF" + text), plain);
  const std::string path = ::testing::TempDir() + "glowmarch-bom.obj";
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(("\xEF\xBB\xBF" + text).c_str(), file);
    std::fclose(file);
  }
  const std::optional<ObjMesh> read = readObjFile(path.c_str());
  std::remove(path.c_str());
  ASSERT_TRUE(read.has_value());
  expectSameMesh(*read, plain);
}

TEST(ObjReader, FacesThatCannotBeReadOrPointOutsideTheListsAreSkipped) {
  const ObjMesh mesh = readObj(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0.25 0.75\nvt 1 0\n"
      "f 0 1 2\n"              // OBJ counts from 1
      "f -4 -2 -1\n"           // counts back past the first position
      "f 1 2 4\n"              // no fourth position (yet)
      "f 1//1 2//1 3//2\n"     // no second normal
      "f 1/3/1 2/1/1 3/1/1\n"  // no third texture coordinate
      "f 1 2\n"                // fewer than three corners
      "f\n"
      "f 1/1/1 2/2 3/2/1\n"  // corners of different forms
      "f 1 2 3x\n"           // trailing junk after the third corner is ignored: read
      "f 1 2 99999999999999999999\n"
      "f 1/1 2/2 3/2\n"  // position/texture form: read, no normal
      "v 1 1 0\n"
      "f 1 2 4\n");  // now the fourth position exists
  ASSERT_EQ(mesh.indices.size(), 9u);
  EXPECT_EQ(position(mesh, 2), (std::array<float, 3>{0, 1, 0}));
  const Vertex& textured = mesh.vertices[mesh.indices[3]];
  EXPECT_EQ(textured.texcoords[0], 0.25f);
  EXPECT_EQ(textured.texcoords[1], 0.75f);
  EXPECT_EQ(position(mesh, 8), (std::array<float, 3>{1, 1, 0}));
  expectSameMesh(mesh, referenceRead(
                           "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0.25 0.75\nvt 1 0\n"
                           "f 0 1 2\nf -4 -2 -1\nf 1 2 4\nf 1//1 2//1 3//2\nf 1/3/1 2/1/1 3/1/1\nf 1 2\nf\n"
                           "f 1/1/1 2/2 3/2/1\nf 1 2 3x\nf 1/1 2/2 3/2\nv 1 1 0\nf 1 2 4\n"));
}

TEST(ObjReader, LinesOfAnyLengthAndTabsAfterTheKeywordAreRead) {
  std::string points = "# " + std::string(5000, 'x') + "\n" + "v 4 5 6" + std::string(300, ' ') + "\r\n";
  std::string face = "f";
  for (int i = 2; i <= 300; ++i) {
    points += "v " + std::to_string(i) + " " + std::to_string(i % 7) + " 0\n";
    face += " " + std::to_string(i) + "/1";
  }
  points += "vt 0.5 0.25\n";
  face = "f 1/1" + face.substr(1);
  face += std::string(2000 - face.size(), ' ');
  ASSERT_EQ(face.size(), 2000u);
  const ObjMesh mesh = readObj(points + face + "\n");
  EXPECT_EQ(mesh.indices.size(), 3u * 298);
  EXPECT_EQ(position(mesh, 0), (std::array<float, 3>{4, 5, 6}));
  expectSameMesh(mesh, referenceRead(points + face + "\n"));
  expectSameMesh(readObj(points + "f\t1 2 3\nf\t\t3 2 1 4\nv\t9 9 9\nf 1 3 -1\n"),
                 readObj(points + "f 1 2 3\nf 3 2 1\nf 3 1 4\nv 9 9 9\nf 1 3 301\n"));
}

TEST(ObjReader, CornersWithoutNormalsKeepThoseOfThePreviousFaceAndAreKeyedApart) {
  const ObjMesh mesh = readObj(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 1 0\nvn 1 0 0\n"
      "f 1 2 3\n"  // the first face has nothing to keep: zero normals
      "f 1//1 2//2 3//3\n"
      "f 3 1 2\n"
      "v 1 1 1\n"
      "f 2 4 1\n");  // corner k takes the normal of corner k of the face before
  ASSERT_EQ(mesh.indices.size(), 12u);
  EXPECT_EQ(mesh.vertices.size(), 7u);
  EXPECT_EQ(normal(mesh, 0), (std::array<float, 3>{0, 0, 0}));
  // The position-only corners were seen in the first face: same key, same vertex.
  EXPECT_EQ(std::vector<std::uint32_t>(mesh.indices.begin() + 6, mesh.indices.end()),
            (std::vector<std::uint32_t>{2, 0, 1, 1, 6, 0}));
  EXPECT_EQ(normal(mesh, 4), (std::array<float, 3>{0, 1, 0}));
  EXPECT_EQ(position(mesh, 10), (std::array<float, 3>{1, 1, 1}));
  EXPECT_EQ(normal(mesh, 10), (std::array<float, 3>{0, 1, 0}));
}

TEST(ObjReader, NumbersAreReadAsScanfReadsThem) {
  const std::string text =
      "v +1.5e1\t  -2.25E-1 .5\n"
      "v 1 2\n"  // a missing value reads as 0
      "vn1 0 0\n"
      "vt 0.5 0.25 0.125\n"
      "v 0x1p3 1e40 -1e-50\n"
      "v\t9 9 9\n"
      "f 1/1/1 2/1/1 3/1/1\n"
      "f\t1 2 4\n";
  const ObjMesh mesh = readObj(text);
  expectSameMesh(mesh, referenceRead(text));
  ASSERT_EQ(mesh.vertices.size(), 6u);
  const Vertex& first = mesh.vertices[0];
  EXPECT_EQ(first.position[0], 15.0f);
  EXPECT_EQ(first.position[1], -0.225f);
  EXPECT_EQ(first.position[2], 0.5f);
  EXPECT_EQ(first.normal[0], 1.0f);
  EXPECT_EQ(first.texcoords[1], 0.25f);
  EXPECT_EQ(mesh.vertices[1].position[2], 0.0f);
  EXPECT_EQ(mesh.vertices[2].position[0], 8.0f);
  EXPECT_TRUE(std::isinf(mesh.vertices[2].position[1]));
  EXPECT_EQ(mesh.vertices[2].position[2], -0.0f);
}

TEST(ObjReader, MatchesTheStraightforwardLoaderOnAMixedFile) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
  std::string text = "# mixed\r\nmtllib none.mtl\r\n";
  char line[256];
  int positions = 0, normals = 0, texcoords = 0;
  for (int block = 0; block < 60; ++block) {
    for (int i = 0; i < 6; ++i, ++positions) {
      std::snprintf(line, sizeof line, i % 2 ? "v %.9g %.3e %g\r\n" : "v  %.7f\t%.2f %.9g\n", coordinate(random),
                    coordinate(random), coordinate(random) * 1e-3f);
      text += line;
    }
    for (int i = 0; i < 3; ++i, ++normals) {
      std::snprintf(line, sizeof line, "vn %.6f %.6f %.6f\n", coordinate(random) / 100, coordinate(random) / 100,
                    coordinate(random) / 100);
      text += line;
    }
    for (int i = 0; i < 2; ++i, ++texcoords) {
      std::snprintf(line, sizeof line, "vt %.5f %.5f\n", coordinate(random) / 200 + 0.5f, coordinate(random) / 200);
      text += line;
    }
    text += block % 7 == 0 ? "g part\nusemtl x\n" : "s 1\n";
    for (int face = 0; face < 12; ++face) {
      // Indices reach a little past the lists now and then, and keys repeat often.
      auto pick = [&](int count) { return std::uniform_int_distribution<int>(count > 8 ? count - 8 : 1, count + 1)(random); };
      int p[5], t[5], n[5];
      for (int k = 0; k < 5; ++k) {
        p[k] = pick(positions);
        t[k] = pick(texcoords);
        n[k] = pick(normals);
      }
      switch ((face + block) % 5) {
        case 0:  // every other block counts back from the end
          if (block % 2) std::snprintf(line, sizeof line, "f %d %d %d\n", p[0], p[1], p[2]);
          if (block % 2 == 0) {
            std::snprintf(line, sizeof line, "f %d %d %d\n", p[0] - positions - 1, p[1] - positions - 1, p[2]);
          }
          break;
        case 1:
          std::snprintf(line, sizeof line, "f %d//%d %d//%d %d//%d %d//%d\n", p[0], n[0], p[1], n[1], p[2], n[2], p[3],
                        n[3]);
          break;
        case 2:
          std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\r\n", p[0], t[0], n[0], p[1], t[1], n[1], p[2],
                        t[2], n[2]);
          break;
        case 3:
          std::snprintf(line, sizeof line, "f\t%d/%d %d/%d %d/%d %d/%d %d/%d\n", p[0], t[0], p[1], t[1], p[2], t[2],
                        p[3], t[3], p[4], -t[4]);
          break;
        default:
          std::snprintf(line, sizeof line, "f %d/%d/%d %d//%d %d\n", p[0], t[0], n[0], p[1], n[1], p[2]);
          break;
      }
      text += line;
    }
    if (block % 11 == 0) text += "# " + std::string(400, '-') + "\n";
  }
  const ObjMesh expected = referenceRead(text);
  EXPECT_GT(expected.vertices.size(), 300u);
  EXPECT_GT(expected.indices.size(), 800u);
  expectSameMesh(readObj(text), expected);
}

TEST(ObjReader, EmptyOrFacelessTextGivesNoVertexAndUnreadableFilesGiveNothing) {
  EXPECT_TRUE(readObj("").vertices.empty());
  EXPECT_TRUE(readObj("v 1 2 3\nv 4 5 6\nv 7 8 9\n").vertices.empty());
  EXPECT_TRUE(readObj(std::string_view("v 1 2 3\0f 1 1 1", 15)).vertices.empty());
  std::string utf16;  // a triangle as a UTF-16 export writes it
  for (const char c : std::string("\xff\xfev 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n")) utf16 += {c, '\0'};
  EXPECT_TRUE(readObj(utf16).vertices.empty());
  EXPECT_FALSE(readObjFile("/nonexistent/glowmarch/model.obj").has_value());
  EXPECT_FALSE(readObjFile("/").has_value());
}

TEST(ObjReader, RelativeIndicesCountBackFromTheLastEntryOfTheirListReadSoFar) {
  const ObjMesh mesh = readObj(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\n"
      "f 1/-1 2/-1 3/-1\n"  // no texture coordinates yet: -1 points at none
      "vt 0.25 0.75\n"
      "f -3/-1/-1 -2/1/-1 -1/-1/1\n"
      "f 1/1/1 2/1/1 3/1/1\n"  // the same corners written absolute: the same vertices
      "v 1 1 0\nvt 0.5 0.5\n"
      "f -4//1 -3//-1 -2//1 -1//1\n"
      "f 1 2 -5\n"  // before the first position
      "f 1/-1 2/-1 3/-2\n");
  expectSameMesh(mesh, readObj(
                           "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0.25 0.75\n"
                           "f 1/1/1 2/1/1 3/1/1\nf 1/1/1 2/1/1 3/1/1\nv 1 1 0\nvt 0.5 0.5\n"
                           "f 1//1 2//1 3//1 4//1\nf 1/2 2/2 3/1\n"));
  ASSERT_EQ(mesh.indices.size(), 15u);
  EXPECT_EQ(std::vector<std::uint32_t>(mesh.indices.begin(), mesh.indices.begin() + 6),
            (std::vector<std::uint32_t>{0, 1, 2, 0, 1, 2}));
  EXPECT_EQ(position(mesh, 11), (std::array<float, 3>{1, 1, 0}));
  EXPECT_EQ(mesh.vertices[mesh.indices[12]].texcoords[0], 0.5f);
}

}  // namespace
}  // namespace glowmarch
