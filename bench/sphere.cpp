// Building the 20 x 40 sphere: its mesh alone, and the whole object with its program lookup and upload.
// Drawing it: the object's draw, and the bare draw call of the same mesh as its floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "effects/FrameValues.h"
#include "effects/Sphere.h"
#include "effects/SphereMesh.h"
#include "resources/ShaderLibrary.h"
#include "tests/support/GlContext.h"

namespace {

struct Fixture {
  Fixture() : gl(64, 64) {
    if (!gl.ok()) return;
    // A "main" program, as a show has one: without it every sphere would print a lookup message.
    const auto folder = std::filesystem::temp_directory_path() / "glowmarch-bench-sphere";
    std::filesystem::create_directories(folder / "data/shaders");
    std::ofstream(folder / "data/shaders/main.vert")
        << "#version 330 compatibility\nin vec3 in_position;\nin vec3 in_normal;\nin vec2 in_texcoords;\n"
           "out vec2 uv;\nvoid main() { uv = in_texcoords + in_normal.xy * 0.0;\n"
           "  gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0); }\n";
    std::ofstream(folder / "data/shaders/main.frag")
        << "#version 330 compatibility\nin vec2 uv;\nout vec4 colour;\nvoid main() { colour = vec4(uv, 1.0, 1.0); }\n";
    std::filesystem::current_path(folder);
    glowmarch::createShaderProgram("main", "main.vert", "main.frag", "");
  }
  glowmarch::testing::GlContext gl;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void GenerateSphereMesh(benchmark::State& state) {
  for (auto _ : state) {
    glowmarch::SphereMesh mesh = glowmarch::generateSphereMesh(20, 40);
    benchmark::DoNotOptimize(mesh.vertices.data());
  }
}
BENCHMARK(GenerateSphereMesh)->Unit(benchmark::kMicrosecond);

void ConstructSphere(benchmark::State& state) {
  if (!fixture().gl.ok()) {
    state.SkipWithError("no GL context");
    return;
  }
  for (auto _ : state) {
    glowmarch::Sphere sphere;
    benchmark::DoNotOptimize(sphere.vertexData);
    // The show never deletes GL objects; a benchmark making thousands of spheres must.
    state.PauseTiming();
    glDeleteVertexArrays(1, &sphere.vao);
    glDeleteBuffers(1, &sphere.vbo);
    state.ResumeTiming();
  }
}
BENCHMARK(ConstructSphere)->Unit(benchmark::kMicrosecond);

void DrawSphere(benchmark::State& state) {
  if (!fixture().gl.ok()) {
    state.SkipWithError("no GL context");
    return;
  }
  glowmarch::Sphere sphere;
  sphere.transform.point[2] = -4.0f;
  for (auto _ : state) {
    glLoadIdentity();
    sphere.draw();
  }
  glFinish();
  glowmarch::currentProgram = 0;
}
BENCHMARK(DrawSphere)->Unit(benchmark::kMicrosecond);

// The same mesh from the same vertex array, with only a placement and the draw call.
void DrawSphereFloor(benchmark::State& state) {
  if (!fixture().gl.ok()) {
    state.SkipWithError("no GL context");
    return;
  }
  glowmarch::Sphere sphere;
  const glowmarch::SphereMesh mesh = glowmarch::generateSphereMesh(20, 40);
  glUseProgram(sphere.shader);
  glBindVertexArray(sphere.vao);
  for (auto _ : state) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -4.0f);
    glDrawElements(GL_TRIANGLE_STRIP, static_cast<GLsizei>(mesh.indices.size()), GL_UNSIGNED_SHORT,
                   mesh.indices.data());
  }
  glFinish();
  glUseProgram(0);
  glowmarch::currentProgram = 0;
}
BENCHMARK(DrawSphereFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
