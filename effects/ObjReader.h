// Reads Wavefront OBJ text into one de-duplicated vertex list and a triangle index list; no GL.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "effects/Demoeffect.h"

namespace glowmarch {

struct ObjMesh {
  std::vector<Vertex> vertices;  // one per distinct (position, normal, texture) index triple, first seen first
  std::vector<std::uint32_t> indices;  // three per triangle
};

// Reads "v", "vn", "vt" and "f" lines; every other line is skipped, and so is a UTF-8 byte-order
// mark in front of the first. A face is read in one of the forms p, p//n, p/t/n or p/t; a face of n
// corners gives n - 2 triangles: the fan from its first corner when it is convex, else triangles
// inside its outline (PolygonCutter). Negative indices count back from the last entry read so far.
// A face with fewer than three corners, or with an index that points at no entry, is skipped. A
// corner that has no normal or texture coordinates keeps those of the same corner of the previous
// triangle (zero on the first).
ObjMesh readObj(std::string_view text);

// The file read as above; nothing when it cannot be opened or read.
std::optional<ObjMesh> readObjFile(const char* path);

}  // namespace glowmarch
