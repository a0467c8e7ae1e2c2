#include "resources/ShaderLibrary.h"

#include "resources/ProgramUniforms.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "resources/KeptResources.h"
#include "resources/WholeFile.h"

namespace glowmarch {

namespace {

std::map<std::string, GLuint, std::less<>> shaderSources;
std::map<std::string, GLuint, std::less<>> shaderPrograms;

// The edit mode's memory: the text of each stage's last good compile, and the stages (type, text)
// of each program's last good link.
bool keepingLastGood = false;
std::map<std::string, std::string, std::less<>> goodSources;
std::map<std::string, std::vector<std::pair<GLenum, std::string>>, std::less<>> goodPrograms;

// What is kept across shows (keepResourcesAcrossShows): the text of each compiled stage of this show,
// each program this show created, in order, and what the show before handed on.
struct ProgramRecord {
  std::string name;
  std::string sources[3];
  GLuint program = 0;
  std::vector<GLuint> found;  // what each named source gave, 0 for none, in order
  bool linked = false;        // linked from `found` itself, not from a last good version
  std::string printed;        // what creating it printed
};
std::map<std::string, std::string, std::less<>> sourceTexts;
std::vector<ProgramRecord> records;
struct KeptStage {
  std::string text;
  GLuint stage = 0;
};
std::map<std::string, KeptStage, std::less<>> keptStages;
std::vector<ProgramRecord> keptPrograms;
// Every program and stage made while keeping, until deleted: whatever nothing refers to any more.
std::set<GLuint> ownedPrograms;
std::set<GLuint> ownedStages;
std::string* printing = nullptr;  // the record whose messages are being collected

// printf, and the same text kept with the program being created.
void say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char small[256];
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(small, sizeof small, format, again);
  va_end(again);
  std::string text;
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(length));
  } else if (length >= 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(arguments);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (printing != nullptr) *printing += text;
}

GLuint newStage(GLenum type) {
  const GLuint stage = glCreateShader(type);
  if (keepingResources()) ownedStages.insert(stage);
  return stage;
}

GLenum stageType(std::string_view path) {
  if (path.find(".vert") != std::string_view::npos) return GL_VERTEX_SHADER;
  if (path.find(".frag") != std::string_view::npos) return GL_FRAGMENT_SHADER;
  if (path.find(".geom") != std::string_view::npos) return GL_GEOMETRY_SHADER;
  return 0;
}

// GL may report a log length of 0; the buffer always holds at least the terminating zero.
std::vector<char> emptyLog(GLint length) { return std::vector<char>(length > 0 ? length : 1, '\0'); }

}  // namespace

GLuint loadShaderSource(std::string_view name) {
  const std::string path = "data/shaders/" + std::string(name);
  const GLenum type = stageType(path);
  if (type == 0) return 0;
  std::optional<FileBytes> source = readWholeFile(path.c_str());
  // glShaderSource takes the length as a GLint.
  if (source && source->size > static_cast<std::size_t>(INT_MAX)) source.reset();
  if (source && keepingResources()) {
    // The same text compiles to the same stage: the last show's is taken as it is.
    const auto kept = keptStages.find(name);
    if (kept != keptStages.end() && source->text() == kept->second.text) {
      const GLuint stage = kept->second.stage;
      sourceTexts[std::string(name)] = std::move(kept->second.text);
      keptStages.erase(kept);
      shaderSources[std::string(name)] = stage;
      if (keepingLastGood) goodSources[std::string(name)] = sourceTexts[std::string(name)];
      return stage;
    }
  }
  const GLuint stage = newStage(type);
  if (!source) {
    // Registered uncompiled: the link of every program that names it reports the failure.
    shaderSources[std::string(name)] = stage;
    return stage;
  }
  const GLchar* text = source->data.get();
  const GLint length = static_cast<GLint>(source->size);
  glShaderSource(stage, 1, &text, &length);
  glCompileShader(stage);
  GLint status = 0;
  glGetShaderiv(stage, GL_COMPILE_STATUS, &status);
  if (status != 0) {
    shaderSources[std::string(name)] = stage;
    if (keepingLastGood) goodSources[std::string(name)] = source->text();
    if (keepingResources()) sourceTexts[std::string(name)] = source->text();
    return stage;
  }
  GLint logLength = 0;
  glGetShaderiv(stage, GL_INFO_LOG_LENGTH, &logLength);
  std::vector<char> log = emptyLog(logLength);
  glGetShaderInfoLog(stage, static_cast<GLsizei>(log.size()), nullptr, log.data());
  log.back() = '\0';
  // The compiler's log names no file; the edit mode's message list must.
  if (keepingLastGood) say("Error compiling %s\n", path.c_str());
  say("Error compiling shader\n%s", log.data());
  return 0;
}

GLuint findShaderSource(std::string_view name) {
  auto found = shaderSources.find(name);
  if (found != shaderSources.end()) return found->second;
  const GLuint stage = loadShaderSource(name);
  if (stage == 0) {
    say("Tried to find a nonexistant shader source: %.*s\n", static_cast<int>(name.size()), name.data());
    std::fflush(stdout);
  }
  return stage;
}

namespace {

void attachOnce(GLuint program, GLuint stage, std::vector<GLuint>& attached) {
  // Attaching 0, or a stage twice, would only raise a GL error flag: the link is the same.
  if (stage == 0 || std::find(attached.begin(), attached.end(), stage) != attached.end()) return;
  glAttachShader(program, stage);
  attached.push_back(stage);
}

// A program object linked again in place keeps its name: what was attached goes first.
void detachAll(GLuint program) {
  GLuint stages[8] = {};
  GLsizei count = 0;
  glGetAttachedShaders(program, 8, &count, stages);
  for (GLsizei i = 0; i < count; ++i) glDetachShader(program, stages[i]);
}

// `program` linked from the stages of the last good link of `name`; false when there is none or it
// fails again.
bool relinkLastGood(std::string_view name, GLuint program) {
  const auto found = goodPrograms.find(name);
  if (found == goodPrograms.end()) return false;
  detachAll(program);
  for (const auto& [type, text] : found->second) {
    const GLuint stage = newStage(type);
    const GLchar* data = text.data();
    const GLint length = static_cast<GLint>(text.size());
    glShaderSource(stage, 1, &data, &length);
    glCompileShader(stage);
    glAttachShader(program, stage);
  }
  glLinkProgram(program);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  return status != 0;
}

GLuint newProgram() {
  const GLuint program = glCreateProgram();
  if (keepingResources()) ownedPrograms.insert(program);
  return program;
}

// Builds the program `record` names from its sources, printing what creating it prints. Into
// `record.program` when it is set (the same GL name, linked again), else into a program of the last
// show made of the very same stages, else into a new one. Returns the program to register.
GLuint buildProgram(ProgramRecord& record) {
  std::string* const outer = printing;
  record.printed.clear();
  printing = &record.printed;
  // The player makes the program before its stages, as it always has.
  if (record.program == 0 && !keepingResources()) record.program = newProgram();
  std::vector<GLuint> found;
  bool stageMissing = false;
  std::vector<std::pair<GLenum, std::string>> stages;
  for (const std::string& source : record.sources) {
    if (source.empty()) continue;
    const GLuint stage = findShaderSource(source);
    found.push_back(stage);
    stageMissing = stageMissing || stage == 0;
    if (keepingLastGood && stage != 0) {
      const auto text = goodSources.find(source);
      if (text != goodSources.end()) stages.emplace_back(stageType(source), text->second);
    }
  }
  GLint status = 0;
  if (record.program == 0 && keepingResources() && !stageMissing) {
    const auto kept = std::find_if(keptPrograms.begin(), keptPrograms.end(), [&](const ProgramRecord& earlier) {
      return earlier.name == record.name && earlier.found == found;
    });
    if (kept != keptPrograms.end()) {
      record.program = kept->program;
      keptPrograms.erase(kept);
      status = 1;
    }
  }
  if (status == 0) {
    if (record.program == 0) {
      record.program = newProgram();
    } else {
      detachAll(record.program);
    }
    std::vector<GLuint> attached;
    for (GLuint stage : found) attachOnce(record.program, stage, attached);
    glLinkProgram(record.program);
    glGetProgramiv(record.program, GL_LINK_STATUS, &status);
  }
  if (status == 0) {
    GLint logLength = 0;
    glGetProgramiv(record.program, GL_INFO_LOG_LENGTH, &logLength);
    std::vector<char> log = emptyLog(logLength);
    glGetProgramInfoLog(record.program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.back() = '\0';
    say("Error linking shader.\n");
    std::fflush(stdout);
    say("%s\n", log.data());
    std::fflush(stdout);
  }
  record.found = std::move(found);
  record.linked = status != 0 && !stageMissing;
  GLuint registered = record.program;
  if (keepingLastGood) {
    if (record.linked) {
      goodPrograms[record.name] = std::move(stages);
    } else {
      // Kept in place when the program is linked again where it stands; otherwise in a program of
      // its own, the failed one staying alive as it always did.
      const GLuint target = keepingResources() || goodPrograms.count(record.name) == 0 ? record.program : newProgram();
      if (relinkLastGood(record.name, target)) {
        say("Keeping the last good version of program %s\n", record.name.c_str());
        std::fflush(stdout);
        registered = target;
      }
    }
  }
  printing = outer;
  return registered;
}

// Deletes every program and stage made while keeping that neither this show nor the one before
// still refers to.
void deleteUnused() {
  std::set<GLuint> programs;
  std::set<GLuint> stages;
  for (const auto& entry : shaderPrograms) programs.insert(entry.second);
  for (const auto& entry : shaderSources) stages.insert(entry.second);
  for (const auto& entry : keptStages) stages.insert(entry.second.stage);
  for (const std::vector<ProgramRecord>* list : {&records, &keptPrograms}) {
    for (const ProgramRecord& record : *list) {
      programs.insert(record.program);
      GLuint attached[8] = {};
      GLsizei count = 0;
      glGetAttachedShaders(record.program, 8, &count, attached);
      stages.insert(attached, attached + count);
    }
  }
  bool deleted = false;
  for (auto it = ownedPrograms.begin(); it != ownedPrograms.end();) {
    if (programs.count(*it) > 0) {
      ++it;
      continue;
    }
    glDeleteProgram(*it);
    deleted = true;
    it = ownedPrograms.erase(it);
  }
  // A name deleted may be made again for another program.
  if (deleted) forgetProgramUniforms();
  for (auto it = ownedStages.begin(); it != ownedStages.end();) {
    if (stages.count(*it) > 0) {
      ++it;
      continue;
    }
    glDeleteShader(*it);
    it = ownedStages.erase(it);
  }
}

}  // namespace

void createShaderProgram(std::string_view name, std::string_view source1, std::string_view source2,
                         std::string_view source3) {
  ProgramRecord record;
  record.name = name;
  record.sources[0] = source1;
  record.sources[1] = source2;
  record.sources[2] = source3;
  const GLuint registered = buildProgram(record);
  shaderPrograms[record.name] = registered;
  if (keepingResources()) records.push_back(std::move(record));
}

GLuint findShaderProgram(std::string_view name) {
  auto found = shaderPrograms.find(name);
  if (found != shaderPrograms.end()) return found->second;
  std::printf("Tried to find a nonexistant shader program: %.*s\n", static_cast<int>(name.size()), name.data());
  std::fflush(stdout);
  return 0;
}

std::array<GLint, 3> attributeLocations(GLuint program) {
  // Without a program every location is -1.
  if (program == 0) return {-1, -1, -1};
  return {glGetAttribLocation(program, "in_position"), glGetAttribLocation(program, "in_normal"),
          glGetAttribLocation(program, "in_texcoords")};
}

SourcesReloaded reloadShaderSources(const std::set<std::string>& names) {
  SourcesReloaded result;
  for (const std::string& name : names) {
    shaderSources.erase(name);
    sourceTexts.erase(name);
  }
  for (ProgramRecord& record : records) {
    result.previousMessages += record.printed;
    // A program whose stages are all the same, and that linked, prints nothing in a new show either.
    bool same = record.linked;
    for (const std::string& source : record.sources) {
      if (!same) break;
      if (!source.empty()) same = names.count(source) == 0;
    }
    if (same) continue;
    const std::array<GLint, 3> before = attributeLocations(record.program);
    const GLuint registered = buildProgram(record);
    ++result.relinked;
    if (registered != record.program || attributeLocations(record.program) != before) result.layoutChanged = true;
  }
  forgetProgramUniforms();
  deleteUnused();
  return result;
}

void releaseShaderLibrary() {
  keptStages.clear();
  for (auto& [name, text] : sourceTexts) {
    const auto stage = shaderSources.find(name);
    if (stage != shaderSources.end()) keptStages[name] = KeptStage{std::move(text), stage->second};
  }
  keptPrograms.clear();
  for (ProgramRecord& record : records) {
    if (record.linked) keptPrograms.push_back(std::move(record));
  }
  records.clear();
  sourceTexts.clear();
  shaderSources.clear();
  shaderPrograms.clear();
  // A program still current would only be marked for deletion.
  glUseProgram(0);
  deleteUnused();
  forgetProgramUniforms();
}

void clearShaderLibrary() {
  shaderSources.clear();
  shaderPrograms.clear();
  sourceTexts.clear();
  records.clear();
  keptStages.clear();
  keptPrograms.clear();
  ownedPrograms.clear();
  ownedStages.clear();
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
