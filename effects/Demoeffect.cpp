#include "effects/Demoeffect.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <unordered_set>

#include "effects/FrameValues.h"
#include "effects/KeptMeshes.h"
#include "resources/KeptResources.h"
#include "resources/ProgramUniforms.h"
#include "resources/ShaderLibrary.h"

namespace glowmarch {

namespace {
constexpr std::size_t reservedChildren = 10;
}

Demoeffect::Demoeffect() { children.reserve(reservedChildren); }

Demoeffect::Demoeffect(const Demoeffect& other)
    : transform(other.transform),
      state(other.state),
      scale(other.scale),
      scaleX(other.scaleX),
      scaleY(other.scaleY),
      scaleZ(other.scaleZ),
      timer(other.timer),
      shader(other.shader),
      texture(other.texture),
      vertexData(other.vertexData),
      vertexDataSize(other.vertexDataSize),
      indexData(other.indexData),
      vbo(other.vbo),
      vao(other.vao),
      children(other.children) {
  std::copy(std::begin(other.color), std::end(other.color), std::begin(color));
  children.reserve(std::max(children.size(), reservedChildren));
}

Demoeffect::~Demoeffect() = default;

std::unique_ptr<Demoeffect> Demoeffect::clone() const { return std::make_unique<Demoeffect>(*this); }

void Demoeffect::local(float, char*) {}

std::vector<LocalWord> Demoeffect::localWords() { return {}; }

void Demoeffect::bindRenderState() const {
  if (shader != currentProgram) {
    glUseProgram(shader);
    currentProgram = shader;
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  // Program 0 has no uniforms; asking it would only raise GL_INVALID_VALUE.
  if (shader == 0) return;
  setFrameUniforms(shader, state, static_cast<float>(musicTime - timer), musicData);
  if (hasMusicBeat) setMusicBeat(shader, static_cast<float>(musicBeat));
}

bool Demoeffect::advance() {
  if (!drawingAgain) transform.update();
  return true;
}

void Demoeffect::advanceTree() {
  if (!advance()) return;
  for (Demoeffect* child : children) child->advanceTree();
}

void Demoeffect::draw() {
  if (advance()) drawPlaced();
}

void Demoeffect::drawPlaced() {
  bindRenderState();
  transform.apply();
  glScalef(static_cast<float>(scale * scaleX), static_cast<float>(scale * scaleY),
           static_cast<float>(scale * scaleZ));
  glColor4ubv(color);
  if (children.empty()) return;
  for (Demoeffect* child : children) {
    glPushMatrix();
    child->draw();
    glPopMatrix();
  }
  // The children leave their own program, texture, uniforms and colour behind, and a derived
  // class draws its own geometry next: that must look as it would without children.
  bindRenderState();
  glColor4ubv(color);
}

void Demoeffect::setupVertexArray() {
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  if (keepingResources()) recordShowBuffers(vao, vbo);
  struct Attribute {
    GLint components;
    std::size_t offset;
  };
  // In the order of attributeLocations: in_position, in_normal, in_texcoords.
  static constexpr Attribute attributes[] = {
      {3, offsetof(Vertex, position)},
      {3, offsetof(Vertex, normal)},
      {2, offsetof(Vertex, texcoords)},
  };
  const std::array<GLint, 3> locations = attributeLocations(shader);
  for (std::size_t i = 0; i < locations.size(); ++i) {
    const Attribute& attribute = attributes[i];
    const GLint location = locations[i];
    // Without a program every location is -1, which GL rejects; leave the layout undescribed.
    if (location < 0) continue;
    glVertexAttribPointer(static_cast<GLuint>(location), attribute.components, GL_FLOAT, GL_FALSE,
                          sizeof(Vertex), reinterpret_cast<const void*>(attribute.offset));
    glEnableVertexAttribArray(static_cast<GLuint>(location));
  }
}

void Demoeffect::addChild(Demoeffect* child) { children.push_back(child); }

void Demoeffect::removeChild(Demoeffect* child) {
  auto found = std::find(children.begin(), children.end(), child);
  if (found != children.end()) children.erase(found);
}

bool Demoeffect::reaches(const Demoeffect* effect) const {
  // Clones share children, so the tree is a graph: visit each node once.
  std::vector<const Demoeffect*> pending{this};
  std::unordered_set<const Demoeffect*> seen{this};
  while (!pending.empty()) {
    const Demoeffect* node = pending.back();
    pending.pop_back();
    if (node == effect) return true;
    for (const Demoeffect* child : node->children) {
      if (seen.insert(child).second) pending.push_back(child);
    }
  }
  return false;
}

}  // namespace glowmarch
