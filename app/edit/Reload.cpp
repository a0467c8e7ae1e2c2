#include "app/edit/Reload.h"

#include <GL/glew.h>

#include <algorithm>
#include <deque>
#include <string_view>
#include <unordered_set>

#include "effects/Demoeffect.h"
#include "effects/Particles.h"

namespace glowmarch {

namespace {
constexpr std::string_view shaderFolder = "data/shaders/";
}

bool redrawDiffers(const std::vector<Demoeffect*>& scene) {
  const auto steps = [](const Demoeffect& effect) {
    const Transform& t = effect.transform;
    for (int axis = 0; axis < 3; ++axis) {
      if (t.deltaPoint[axis] != 0.0f || t.deltaDirection[axis] != 0.0f) return true;
    }
    const auto* field = dynamic_cast<const Particles*>(&effect);
    return field != nullptr && (field->anim & Particles::burn) != 0;
  };
  std::unordered_set<const Demoeffect*> seen;
  std::vector<const Demoeffect*> due(scene.rbegin(), scene.rend());
  // Shared children can make the visits grow fast; past this many, assume the worst.
  for (std::size_t visits = 0; !due.empty(); ++visits) {
    if (visits > 1'000'000) return true;
    const Demoeffect* effect = due.back();
    due.pop_back();
    if (effect == nullptr) continue;
    if (!seen.insert(effect).second && steps(*effect)) return true;
    due.insert(due.end(), effect->children.rbegin(), effect->children.rend());
  }
  return false;
}

bool shadersOnly(const std::set<std::string>& changed) {
  return !changed.empty() && std::all_of(changed.begin(), changed.end(), [](const std::string& path) {
    return path.size() > shaderFolder.size() && path.compare(0, shaderFolder.size(), shaderFolder) == 0;
  });
}

std::set<std::string> shaderSourceNames(const std::set<std::string>& changed) {
  std::set<std::string> names;
  for (const std::string& path : changed) {
    if (path.compare(0, shaderFolder.size(), shaderFolder) == 0) names.insert(path.substr(shaderFolder.size()));
  }
  return names;
}

void forgetMessages(MessageLog& log, const std::string& printed) {
  std::deque<std::string> lines = log.lines();
  std::size_t from = 0;
  while (from < printed.size()) {
    std::size_t end = printed.find('\n', from);
    if (end == std::string::npos) end = printed.size();
    const std::string_view line(printed.data() + from, end - from);
    from = end + 1;
    const auto found = std::find(lines.begin(), lines.end(), line);
    if (found != lines.end()) lines.erase(found);
  }
  log.clear();
  for (std::string& line : lines) log.note(std::move(line));
}

namespace {
constexpr GLenum lightParameters[4] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION};
constexpr GLenum materialParameters[4] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_SHININESS};
constexpr GLenum faces[2] = {GL_FRONT, GL_BACK};
}  // namespace

void FrameStartState::take() {
  for (Capability& capability : capabilities) capability.on = glIsEnabled(capability.name);
  glGetIntegerv(GL_BLEND_SRC_RGB, &blend[0]);
  glGetIntegerv(GL_BLEND_DST_RGB, &blend[1]);
  glGetIntegerv(GL_BLEND_SRC_ALPHA, &blend[2]);
  glGetIntegerv(GL_BLEND_DST_ALPHA, &blend[3]);
  for (int i = 0; i < 4; ++i) glGetLightfv(GL_LIGHT0, lightParameters[i], light[i]);
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, lightModel);
  for (int face = 0; face < 2; ++face) {
    for (int i = 0; i < 4; ++i) glGetMaterialfv(faces[face], materialParameters[i], material[face][i]);
  }
  glGetFloatv(GL_CURRENT_COLOR, current[0]);
  glGetFloatv(GL_CURRENT_NORMAL, current[1]);
  glGetFloatv(GL_CURRENT_TEXTURE_COORDS, current[2]);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
  glActiveTexture(GL_TEXTURE0);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  glActiveTexture(static_cast<GLenum>(activeTexture));
}

void FrameStartState::restore() const {
  // The materials first, with colour tracking off: switched on, it copies the current colour in.
  glDisable(GL_COLOR_MATERIAL);
  for (int face = 0; face < 2; ++face) {
    for (int i = 0; i < 4; ++i) glMaterialfv(faces[face], materialParameters[i], material[face][i]);
  }
  // The light's position is kept in eye space, and a new one is taken through the model-view matrix.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int i = 0; i < 4; ++i) glLightfv(GL_LIGHT0, lightParameters[i], light[i]);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, lightModel);
  glBlendFuncSeparate(static_cast<GLenum>(blend[0]), static_cast<GLenum>(blend[1]), static_cast<GLenum>(blend[2]),
                      static_cast<GLenum>(blend[3]));
  glColor4fv(current[0]);
  glNormal3fv(current[1]);
  glTexCoord4fv(current[2]);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glActiveTexture(static_cast<GLenum>(activeTexture));
  for (const Capability& capability : capabilities) {
    if (capability.on) {
      glEnable(capability.name);
    } else {
      glDisable(capability.name);
    }
  }
}

void FreshGlState::save() {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  saved = true;
}

void FreshGlState::restore() {
  if (!saved) return;
  glPopClientAttrib();
  glPopAttrib();
  // What the attribute stacks do not hold.
  glUseProgram(0);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  save();
}

}  // namespace glowmarch
