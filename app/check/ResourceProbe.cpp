#include "app/check/ResourceProbe.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>

#include "effects/ObjReader.h"
#include "resources/PngDecoder.h"
#include "resources/WholeFile.h"

namespace glowmarch {

namespace {

GLenum stageType(std::string_view path) {
  if (path.find(".vert") != std::string_view::npos) return GL_VERTEX_SHADER;
  if (path.find(".frag") != std::string_view::npos) return GL_FRAGMENT_SHADER;
  if (path.find(".geom") != std::string_view::npos) return GL_GEOMETRY_SHADER;
  return 0;
}

// A log line's source line in the forms drivers use: "0:12(3): error: ..." (Mesa),
// "0(12) : error ..." (NVIDIA), "ERROR: 0:12: ..." (AMD, ANGLE); 0 when it names none.
int logLineNumber(const std::string& text) {
  int file = 0;
  int line = 0;
  if (std::sscanf(text.c_str(), "%d:%d", &file, &line) == 2) return line;
  if (std::sscanf(text.c_str(), "%d(%d)", &file, &line) == 2) return line;
  if (std::sscanf(text.c_str(), "ERROR: %d:%d", &file, &line) == 2) return line;
  return 0;
}

// After the location: "0:12(3): error: x" gives "error: x".
std::string afterLocation(const std::string& text) {
  const std::size_t colon = text.find(": ");
  return colon == std::string::npos ? text : text.substr(colon + 2);
}

std::vector<std::string> logLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool mentionsError(const std::string& line) {
  return line.find("error") != std::string::npos || line.find("ERROR") != std::string::npos;
}

}  // namespace

ResourceProbe::ResourceProbe(std::vector<Finding>& findings)
    : findings(findings), canCompile(glCreateShader != nullptr && glGetString(GL_VERSION) != nullptr) {}

ResourceProbe::~ResourceProbe() {
  if (!canCompile) return;
  for (GLuint program : programs) glDeleteProgram(program);
  for (const auto& [name, stage] : stages) {
    if (stage != 0) glDeleteShader(stage);
  }
}

ResourceProbe::SourceState ResourceProbe::source(std::string_view name) {
  if (auto found = sourceStates.find(name); found != sourceStates.end()) return found->second;
  const std::string key(name);
  const std::string path = "data/shaders/" + key;
  const GLenum type = stageType(path);
  const std::optional<FileBytes> text = type == 0 ? std::nullopt : readWholeFile(path.c_str());
  SourceState state = type == 0 ? SourceState::noStage : !text ? SourceState::missing : SourceState::compiled;
  GLuint stage = 0;
  if (state == SourceState::compiled && canCompile) {
    stage = glCreateShader(type);
    const GLchar* bytes = text->data.get();
    const GLint length = static_cast<GLint>(text->size);
    glShaderSource(stage, 1, &bytes, &length);
    glCompileShader(stage);
    GLint status = 0;
    glGetShaderiv(stage, GL_COMPILE_STATUS, &status);
    if (status == 0) {
      GLint logLength = 0;
      glGetShaderiv(stage, GL_INFO_LOG_LENGTH, &logLength);
      std::string log(static_cast<std::size_t>(logLength > 0 ? logLength : 1), '\0');
      glGetShaderInfoLog(stage, static_cast<GLsizei>(log.size()), nullptr, log.data());
      log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
      const std::string leftOut = ": the player leaves this stage out of every program that names it";
      bool told = false;
      for (const std::string& line : logLines(log)) {
        if (!mentionsError(line)) continue;
        findings.push_back({path, logLineNumber(line), afterLocation(line) + leftOut});
        told = true;
      }
      if (!told) findings.push_back({path, 0, "does not compile" + leftOut});
      glDeleteShader(stage);
      stage = 0;
      state = SourceState::failed;
    }
  }
  stages.emplace(key, stage);
  sourceStates.emplace(key, state);
  return state;
}

ResourceProbe::ProgramResult ResourceProbe::link(const std::vector<std::string>& sources) {
  ProgramResult result;
  std::vector<GLuint> attach;
  for (const std::string& name : sources) {
    if (name.empty() || source(name) != SourceState::compiled) continue;
    const GLuint stage = stages[name];
    if (stage != 0 && std::find(attach.begin(), attach.end(), stage) == attach.end()) attach.push_back(stage);
  }
  if (!canCompile) {
    // Without a context nothing can be linked; nothing is claimed either.
    result.linked = true;
    result.hasPosition = true;
    return result;
  }
  const GLuint program = glCreateProgram();
  programs.push_back(program);
  for (GLuint stage : attach) glAttachShader(program, stage);
  glLinkProgram(program);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  result.linked = status != 0;
  if (result.linked) {
    result.hasPosition = glGetAttribLocation(program, "in_position") >= 0;
  } else {
    GLint logLength = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    std::string log(static_cast<std::size_t>(logLength > 0 ? logLength : 1), '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    const std::vector<std::string> lines = logLines(log);
    result.log = lines.empty() ? "" : lines.front();
  }
  for (GLuint stage : attach) glDetachShader(program, stage);
  return result;
}

const ResourceProbe::PictureResult& ResourceProbe::picture(const std::string& name) {
  if (auto found = pictures.find(name); found != pictures.end()) return found->second;
  PictureResult result;
  std::optional<FileBytes> bytes = readWholeFile(name.c_str());
  result.path = name;
  if (!bytes) {
    result.path = "data/textures/" + name;
    bytes = readWholeFile(result.path.c_str());
  }
  if (bytes) {
    DecodedImage image;
    const PngError error = decodePng(bytes->bytes(), bytes->size, image);
    result.state = error == PngError::none ? PictureState::decoded : PictureState::notPng;
    result.error = static_cast<unsigned>(error);
  }
  return pictures.emplace(name, result).first->second;
}

ResourceProbe::MeshState ResourceProbe::mesh(const std::string& path) {
  if (auto found = meshes.find(path); found != meshes.end()) return found->second;
  const std::optional<ObjMesh> read = readObjFile(path.c_str());
  const MeshState state = !read ? MeshState::missing : read->indices.empty() ? MeshState::noFaces : MeshState::faces;
  meshes.emplace(path, state);
  return state;
}

}  // namespace glowmarch
