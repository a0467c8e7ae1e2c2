// The base of every scene object: placement, render settings, mesh handles and the child list.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/LocalParameter.h"
#include "effects/Transform.h"

namespace glowmarch {

// The shared vertex layout: position, normal, texture coordinates; 32 bytes.
struct Vertex {
  float position[3];
  float normal[3];
  float texcoords[2];
};
static_assert(sizeof(Vertex) == 32);

class Demoeffect {
 public:
  Transform transform;
  std::int32_t state = 0;
  double scale = 1.0;
  double scaleX = 1.0;
  double scaleY = 1.0;
  double scaleZ = 1.0;
  double timer = 0.0;  // time origin: the shader's "musictime" is musicTime - timer
  GLuint shader = 0;
  GLuint texture = 0;
  std::uint8_t color[4] = {255, 255, 255, 255};
  // A mesh in memory, owned by the derived class that fills it.
  std::uint8_t* vertexData = nullptr;
  std::uint32_t vertexDataSize = 0;
  std::uint16_t* indexData = nullptr;
  GLuint vbo = 0;
  GLuint vao = 0;
  // Drawn after the owner, in order; the list does not own them.
  std::vector<Demoeffect*> children;

  Demoeffect();
  // Copies every field; the copy shares children, GL names and mesh memory.
  Demoeffect(const Demoeffect& other);
  Demoeffect& operator=(const Demoeffect&) = delete;
  virtual ~Demoeffect();

  // advance(), then, when the object is drawn this frame, its picture and its children's. Apart
  // from advance() it only reads the object's state.
  virtual void draw();
  virtual std::unique_ptr<Demoeffect> clone() const;
  // A class-specific parameter "word;value"; the text may be split in place.
  virtual void local(float time, char* text);
  // The words `local` takes, in the order it matches them: none here; each class declares its own.
  static std::vector<LocalWord> localWords();
  // Everything one frame changes in this object alone (not its children), at the frame loop's
  // musicTime and frameDelta, with no GL call. False when the object is not drawn this frame:
  // then it has not changed, and its children are neither drawn nor advanced.
  virtual bool advance();
  // What drawing does to the state of this object and all it reaches, in the same order, visiting a
  // shared child as often as drawing does, and with no GL call.
  void advanceTree();

  // Creates and binds vao and vbo and describes the shared layout to `shader`;
  // the caller then uploads into the bound GL_ARRAY_BUFFER.
  void setupVertexArray();
  void addChild(Demoeffect* child);
  // Removes the first occurrence only.
  void removeChild(Demoeffect* child);
  // True when `effect` is this object or lies below it through children.
  bool reaches(const Demoeffect* effect) const;

 protected:
  // Makes `shader` current, binds `texture` on unit 0 and feeds the program its uniforms.
  void bindRenderState() const;
  // The common picture of an advanced object: render state, placement, scale, colour, then the
  // children drawn inside it.
  void drawPlaced();
};

}  // namespace glowmarch
