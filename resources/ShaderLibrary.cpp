#include "resources/ShaderLibrary.h"

#include "resources/ProgramUniforms.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace glowmarch {

namespace {

std::map<std::string, GLuint, std::less<>> shaderSources;
std::map<std::string, GLuint, std::less<>> shaderPrograms;

// The edit mode's memory: the text of each stage's last good compile, and the stages (type, text)
// of each program's last good link.
bool keepingLastGood = false;
std::map<std::string, std::string, std::less<>> goodSources;
std::map<std::string, std::vector<std::pair<GLenum, std::string>>, std::less<>> goodPrograms;

GLenum stageType(std::string_view path) {
  if (path.find(".vert") != std::string_view::npos) return GL_VERTEX_SHADER;
  if (path.find(".frag") != std::string_view::npos) return GL_FRAGMENT_SHADER;
  if (path.find(".geom") != std::string_view::npos) return GL_GEOMETRY_SHADER;
  return 0;
}

// The whole file, or nothing when it cannot be opened or read (a folder opens but cannot be read).
std::optional<std::vector<char>> readWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::vector<char> bytes;
  char chunk[1 << 14];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  // glShaderSource takes the length as a GLint.
  if (failed || bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  return bytes;
}

// GL may report a log length of 0; the buffer always holds at least the terminating zero.
std::vector<char> emptyLog(GLint length) { return std::vector<char>(length > 0 ? length : 1, '\0'); }

}  // namespace

GLuint loadShaderSource(std::string_view name) {
  const std::string path = "data/shaders/" + std::string(name);
  const GLenum type = stageType(path);
  if (type == 0) return 0;
  const GLuint stage = glCreateShader(type);

  const std::optional<std::vector<char>> source = readWholeFile(path);
  if (!source) {
    // Registered uncompiled: the link of every program that names it reports the failure.
    shaderSources[std::string(name)] = stage;
    return stage;
  }
  // An empty file is an empty text, not a null pointer: GL refuses that and the compiler's log is lost.
  const GLchar* text = source->empty() ? "" : source->data();
  const GLint length = static_cast<GLint>(source->size());
  glShaderSource(stage, 1, &text, &length);
  glCompileShader(stage);
  GLint status = 0;
  glGetShaderiv(stage, GL_COMPILE_STATUS, &status);
  if (status != 0) {
    shaderSources[std::string(name)] = stage;
    if (keepingLastGood) goodSources[std::string(name)].assign(source->begin(), source->end());
    return stage;
  }
  GLint logLength = 0;
  glGetShaderiv(stage, GL_INFO_LOG_LENGTH, &logLength);
  std::vector<char> log = emptyLog(logLength);
  glGetShaderInfoLog(stage, static_cast<GLsizei>(log.size()), nullptr, log.data());
  log.back() = '\0';
  // The compiler's log names no file; the edit mode's message list must.
  if (keepingLastGood) std::printf("Error compiling %s\n", path.c_str());
  std::printf("Error compiling shader\n%s", log.data());
  return 0;
}

GLuint findShaderSource(std::string_view name) {
  auto found = shaderSources.find(name);
  if (found != shaderSources.end()) return found->second;
  const GLuint stage = loadShaderSource(name);
  if (stage == 0) {
    std::printf("Tried to find a nonexistant shader source: %.*s\n", static_cast<int>(name.size()), name.data());
    std::fflush(stdout);
  }
  return stage;
}

namespace {

// The program linked from the stages of its last good link, or 0.
GLuint relinkLastGood(std::string_view name) {
  const auto found = goodPrograms.find(name);
  if (found == goodPrograms.end()) return 0;
  const GLuint program = glCreateProgram();
  for (const auto& [type, text] : found->second) {
    const GLuint stage = glCreateShader(type);
    const GLchar* data = text.data();
    const GLint length = static_cast<GLint>(text.size());
    glShaderSource(stage, 1, &data, &length);
    glCompileShader(stage);
    glAttachShader(program, stage);
  }
  glLinkProgram(program);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  return status != 0 ? program : 0;
}

}  // namespace

void createShaderProgram(std::string_view name, std::string_view source1, std::string_view source2,
                         std::string_view source3) {
  const GLuint program = glCreateProgram();
  GLuint attached[3] = {};
  int attachedCount = 0;
  bool stageMissing = false;
  std::vector<std::pair<GLenum, std::string>> stages;
  for (std::string_view source : {source1, source2, source3}) {
    if (source.empty()) continue;
    const GLuint stage = findShaderSource(source);
    stageMissing = stageMissing || stage == 0;
    if (keepingLastGood && stage != 0) {
      const auto text = goodSources.find(source);
      if (text != goodSources.end()) stages.emplace_back(stageType(source), text->second);
    }
    // Attaching 0, or a stage twice, would only raise a GL error flag: the link is the same.
    if (stage == 0 || std::find(attached, attached + attachedCount, stage) != attached + attachedCount) continue;
    glAttachShader(program, stage);
    attached[attachedCount++] = stage;
  }
  glLinkProgram(program);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (status == 0) {
    GLint logLength = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    std::vector<char> log = emptyLog(logLength);
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.back() = '\0';
    std::printf("Error linking shader.\n");
    std::fflush(stdout);
    std::printf("%s\n", log.data());
    std::fflush(stdout);
  }
  if (keepingLastGood) {
    if (status != 0 && !stageMissing) {
      goodPrograms[std::string(name)] = std::move(stages);
    } else if (const GLuint kept = relinkLastGood(name); kept != 0) {
      std::printf("Keeping the last good version of program %.*s\n", static_cast<int>(name.size()), name.data());
      std::fflush(stdout);
      shaderPrograms[std::string(name)] = kept;
      return;
    }
  }
  shaderPrograms[std::string(name)] = program;
}

GLuint findShaderProgram(std::string_view name) {
  auto found = shaderPrograms.find(name);
  if (found != shaderPrograms.end()) return found->second;
  std::printf("Tried to find a nonexistant shader program: %.*s\n", static_cast<int>(name.size()), name.data());
  std::fflush(stdout);
  return 0;
}

void clearShaderLibrary() {
  shaderSources.clear();
  shaderPrograms.clear();
  forgetProgramUniforms();
}

void keepLastGoodPrograms(bool keep) {
  keepingLastGood = keep;
  if (keep) return;
  goodSources.clear();
  goodPrograms.clear();
}

std::string_view shaderProgramName(GLuint program) {
  if (program == 0) return {};
  for (const auto& [name, registered] : shaderPrograms) {
    if (registered == program) return name;
  }
  return {};
}

}  // namespace glowmarch
