#include "effects/Sphere.h"

#include <cstdlib>

#include "effects/FrameValues.h"
#include "effects/LocalParameter.h"
#include "resources/ShaderLibrary.h"

namespace glowmarch {

Sphere::Sphere() {
  shader = findShaderProgram("main");
  texture = 0;
  if (shader != currentProgram) {
    glUseProgram(shader);
    currentProgram = shader;
  }
  generateMesh();
  setupVertexArray();
  glBufferData(GL_ARRAY_BUFFER, vertexDataSize, vertexData, GL_STATIC_DRAW);
}

Sphere::~Sphere() = default;

std::unique_ptr<Demoeffect> Sphere::clone() const { return std::make_unique<Sphere>(*this); }

void Sphere::generateMesh() {
  constexpr std::int32_t sphereRings = 20;
  constexpr std::int32_t sphereSegments = 40;
  mesh = std::make_shared<SphereMesh>(generateSphereMesh(sphereRings, sphereSegments));
  rings = mesh->rings;
  segments = mesh->segments;
  vertexDataSize = static_cast<std::uint32_t>(mesh->vertices.size() * sizeof(Vertex));
  vertexData = reinterpret_cast<std::uint8_t*>(mesh->vertices.data());
  indexData = mesh->indices.data();
}

void Sphere::rescale(float factor) {
  for (Vertex& vertex : mesh->vertices) {
    for (float& coordinate : vertex.position) coordinate *= factor;
  }
  glBindVertexArray(vao);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, vertexDataSize, vertexData, GL_STATIC_DRAW);
  glBindVertexArray(0);
}

namespace {
const LocalSetting<Sphere> settings[] = {
    {{"scale", LocalValue::number, "the radius's factor"},
     [](Sphere& sphere, float, const char* value) { sphere.rescale(static_cast<float>(std::atof(value))); }},
};
}  // namespace

void Sphere::local(float time, char* text) { applyLocal(*this, settings, time, text); }

std::vector<LocalWord> Sphere::localWords() { return declaredWords(settings); }

bool Sphere::advance() {
  // Hidden, and so left as it is, until the music reaches the timer.
  if (timer > musicTime) return false;
  return Demoeffect::advance();
}

void Sphere::draw() {
  if (!advance()) return;
  drawPlaced();
  glBindVertexArray(vao);
  // Indices stay in client memory: no element buffer is bound to this vertex array.
  glDrawElements(GL_TRIANGLE_STRIP, static_cast<GLsizei>(mesh->indices.size()), GL_UNSIGNED_SHORT, indexData);
}

}  // namespace glowmarch
