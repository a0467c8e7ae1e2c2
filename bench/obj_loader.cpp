// Reading a generated OBJ file of about a million triangles, against tinyobjloader on the same file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "effects/ObjReader.h"

#ifdef GLOWMARCH_HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

namespace {

// A wavy grid of 708 x 708 quads, two triangles each: 1,002,528 triangles in p/t/n form, written
// the way exporters write them (six decimals, one normal and texture coordinate per position).
// Every other row is written as quads, the rest as pairs of triangles: the same triangles.
constexpr int quads = 708;
constexpr long long triangleCount = 2LL * quads * quads;
constexpr long long vertexCount = (quads + 1LL) * (quads + 1LL);

const std::string& objPath() {
  static const std::string path = [] {
    const auto folder = std::filesystem::temp_directory_path() / "glowmarch-bench-obj";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "grid.obj").string();
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return std::string();
    std::fprintf(out, "# generated grid\no Grid\n");
    const int side = quads + 1;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        std::fprintf(out, "v %.6f %.6f %.6f\n", x * 0.01 - 3.5, std::sin(x * 0.05) * std::cos(y * 0.07), y * -0.01);
      }
    }
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) std::fprintf(out, "vt %.6f %.6f\n", x / double(quads), y / double(quads));
    }
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const double nx = -0.05 * std::cos(x * 0.05), nz = 0.07 * std::sin(y * 0.07);
        const double length = std::sqrt(nx * nx + 1.0 + nz * nz);
        std::fprintf(out, "vn %.6f %.6f %.6f\n", nx / length, 1.0 / length, nz / length);
      }
    }
    std::fprintf(out, "s 1\n");
    for (int y = 0; y < quads; ++y) {
      for (int x = 0; x < quads; ++x) {
        const int a = y * side + x + 1, b = a + 1, c = a + side + 1, d = a + side;
        if (y % 2 == 0) {
          std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d, d, d);
        } else {
          std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
          std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, d, d, d);
        }
      }
    }
    std::fclose(out);
    return file;
  }();
  return path;
}

bool checkGlowmarchMesh(benchmark::State& state, const glowmarch::ObjMesh& mesh) {
  if (mesh.indices.size() != 3 * triangleCount || static_cast<long long>(mesh.vertices.size()) != vertexCount) {
    state.SkipWithError("the reader did not yield the whole grid");
    return false;
  }
  return true;
}

void GlowmarchObjReader(benchmark::State& state) {
  const std::string& path = objPath();
  for (auto _ : state) {
    std::optional<glowmarch::ObjMesh> mesh = glowmarch::readObjFile(path.c_str());
    if (!mesh || !checkGlowmarchMesh(state, *mesh)) return;
    benchmark::DoNotOptimize(mesh->indices.data());
  }
  state.SetItemsProcessed(state.iterations() * triangleCount);
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(std::filesystem::file_size(path)));
}
BENCHMARK(GlowmarchObjReader)->Unit(benchmark::kMillisecond)->MinTime(3.0);

#ifdef GLOWMARCH_HAVE_TINYOBJLOADER

bool loadWithTinyobjloader(const std::string& path, tinyobj::attrib_t& attrib, std::vector<tinyobj::shape_t>& shapes,
                           bool triangulate = true) {
  std::vector<tinyobj::material_t> materials;
  std::string warning, error;
  return tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, path.c_str(), nullptr, triangulate);
}

// tinyobjloader's corners in our triangle order: it splits a quad along its shorter diagonal,
// so its polygons are read whole and fanned here from their first corner.
std::vector<tinyobj::index_t> fannedCorners(const tinyobj::mesh_t& mesh) {
  std::vector<tinyobj::index_t> corners;
  std::size_t first = 0;
  for (const unsigned int count : mesh.num_face_vertices) {
    for (std::size_t i = 2; i < count; ++i) {
      corners.push_back(mesh.indices[first]);
      corners.push_back(mesh.indices[first + i - 1]);
      corners.push_back(mesh.indices[first + i]);
    }
    first += count;
  }
  return corners;
}

void Tinyobjloader(benchmark::State& state) {
  const std::string& path = objPath();
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    if (!loadWithTinyobjloader(path, attrib, shapes)) {
      state.SkipWithError("tinyobjloader failed");
      return;
    }
    benchmark::DoNotOptimize(shapes.data());
  }
  state.SetItemsProcessed(state.iterations() * triangleCount);
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(std::filesystem::file_size(path)));
}
BENCHMARK(Tinyobjloader)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Both readers in turn on the same file, in each iteration: the counter "speedup" is
// tinyobjloader's time over ours (above 1: ours is faster). Before timing, every corner of our
// mesh, quads included, is checked against tinyobjloader's reading of it, an independent parser.
void SpeedupOverTinyobjloader(benchmark::State& state) {
  const std::string& path = objPath();
  {
    std::optional<glowmarch::ObjMesh> mesh = glowmarch::readObjFile(path.c_str());
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    if (!mesh || !checkGlowmarchMesh(state, *mesh)) return;
    if (!loadWithTinyobjloader(path, attrib, shapes, false) || shapes.size() != 1) {
      state.SkipWithError("tinyobjloader could not read the grid");
      return;
    }
    const std::vector<tinyobj::index_t> corners = fannedCorners(shapes[0].mesh);
    if (corners.size() != mesh->indices.size()) {
      state.SkipWithError("tinyobjloader read another grid");
      return;
    }
    for (std::size_t i = 0; i < mesh->indices.size(); ++i) {
      const glowmarch::Vertex& ours = mesh->vertices[mesh->indices[i]];
      const tinyobj::index_t& theirs = corners[i];
      for (int axis = 0; axis < 3; ++axis) {
        const float position = attrib.vertices[3 * static_cast<std::size_t>(theirs.vertex_index) + axis];
        const float normal = attrib.normals[3 * static_cast<std::size_t>(theirs.normal_index) + axis];
        const float texcoord =
            axis < 2 ? attrib.texcoords[2 * static_cast<std::size_t>(theirs.texcoord_index) + axis] : 0.0f;
        if (std::fabs(ours.position[axis] - position) > 1e-6f || std::fabs(ours.normal[axis] - normal) > 1e-6f ||
            (axis < 2 && std::fabs(ours.texcoords[axis] - texcoord) > 1e-6f)) {
          state.SkipWithError("the two readers disagree on a corner");
          return;
        }
      }
    }
  }
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::optional<glowmarch::ObjMesh> mesh = glowmarch::readObjFile(path.c_str());
    benchmark::DoNotOptimize(mesh->indices.data());
    const auto middle = std::chrono::steady_clock::now();
    {
      tinyobj::attrib_t attrib;
      std::vector<tinyobj::shape_t> shapes;
      loadWithTinyobjloader(path, attrib, shapes);
      benchmark::DoNotOptimize(shapes.data());
    }
    const auto end = std::chrono::steady_clock::now();
    ours += std::chrono::duration<double>(middle - start).count();
    theirs += std::chrono::duration<double>(end - middle).count();
  }
  state.counters["speedup"] = theirs / ours;
  state.counters["glowmarch_ms"] = 1000.0 * ours / static_cast<double>(state.iterations());
  state.counters["tinyobjloader_ms"] = 1000.0 * theirs / static_cast<double>(state.iterations());
}
BENCHMARK(SpeedupOverTinyobjloader)->Unit(benchmark::kMillisecond)->MinTime(6.0);

#endif

}  // namespace

BENCHMARK_MAIN();
