#include "app/edit/Reload.h"

#include <GL/glew.h>

#include <algorithm>
#include <deque>
#include <string_view>

namespace glowmarch {

namespace {
constexpr std::string_view shaderFolder = "data/shaders/";
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
