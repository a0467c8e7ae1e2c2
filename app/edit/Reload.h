// What the edit mode keeps across reloads: which saves replace programs in place instead of building
// the show again, the context's state as it was made, and the message list after programs were
// replaced.
#pragma once

#include <GL/glew.h>

#include <set>
#include <string>
#include <vector>

#include "app/edit/MessageLog.h"

namespace glowmarch {

class Demoeffect;

// True when every changed path is a shader source: the show's state does not depend on a
// program's code, so its programs are replaced where it stands.
bool shadersOnly(const std::set<std::string>& changed);
// The source names ("main.frag") of the changed paths under "data/shaders/".
std::set<std::string> shaderSourceNames(const std::set<std::string>& changed);

// True when drawing the frame again as it stands could not give the frame as first drawn: an object
// reached twice in one frame that moves by its velocities, or a burning field, steps at each visit,
// and a frame drawn again draws both visits where the second left it.
bool redrawDiffers(const std::vector<Demoeffect*>& scene);

// Takes out of the log the lines of `printed`, each at its first occurrence: what creating the
// programs printed before they were made again.
void forgetMessages(MessageLog& log, const std::string& printed);

// The GL state a frame of the show starts from and leaves to the next (the pictures' blending, the
// camera's light and material, the current colour, the texture bound): taken before a frame is
// drawn, and put back to draw the same frame again as it was drawn.
class FrameStartState {
 public:
  void take();
  void restore() const;

 private:
  struct Capability {
    GLenum name;
    GLboolean on;
  };
  Capability capabilities[7] = {{GL_BLEND, 0},     {GL_TEXTURE_2D, 0},     {GL_LIGHTING, 0}, {GL_LIGHT0, 0},
                                {GL_NORMALIZE, 0}, {GL_COLOR_MATERIAL, 0}, {GL_DEPTH_TEST, 0}};
  GLint blend[4] = {};
  GLfloat light[4][4] = {};     // ambient, diffuse, specular, position (in eye space)
  GLfloat lightModel[4] = {};
  GLfloat material[2][4][4] = {};  // front, back: ambient, diffuse, specular, shininess
  GLfloat current[3][4] = {};      // colour, normal, texture coordinates
  GLint texture = 0;
  GLint activeTexture = GL_TEXTURE0;
};

// The GL state of the context as it was made, saved on the attribute stacks before the first show
// and put back before each new show, so a show built in a context that goes on starts from the
// state a new context has. The current context's.
class FreshGlState {
 public:
  void save();
  void restore();

 private:
  bool saved = false;
};

}  // namespace glowmarch
