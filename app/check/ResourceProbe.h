// The files a show names, looked at the way the player loads them, each at most once, without
// touching the player's registries: shader stages and programs compiled and linked here (and
// deleted again), pictures decoded, meshes read.
#pragma once

#include <GL/glew.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/check/ShowCheck.h"

namespace glowmarch {

class ResourceProbe {
 public:
  // Compile errors are added to `findings` at the shader file's own lines.
  explicit ResourceProbe(std::vector<Finding>& findings);
  ~ResourceProbe();
  ResourceProbe(const ResourceProbe&) = delete;
  ResourceProbe& operator=(const ResourceProbe&) = delete;

  enum class SourceState { compiled, failed, missing, noStage };
  // "data/shaders/<name>" compiled on first request.
  SourceState source(std::string_view name);

  struct ProgramResult {
    bool linked = false;
    bool hasPosition = false;  // its vertex stage reads "in_position"
    std::string log;           // the first line of the link log when it did not link
  };
  // The stages named (empty names skipped) linked as the player links them; compiles first.
  ProgramResult link(const std::vector<std::string>& sources);

  enum class PictureState { decoded, missing, notPng };
  struct PictureResult {
    PictureState state = PictureState::missing;
    std::string path;  // the path that was opened
    unsigned error = 0;
  };
  // The name opened as a path, then under "data/textures/", and decoded.
  const PictureResult& picture(const std::string& name);

  enum class MeshState { faces, missing, noFaces };
  MeshState mesh(const std::string& path);

 private:
  std::vector<Finding>& findings;
  bool canCompile;
  std::map<std::string, GLuint, std::less<>> stages;  // 0 for a source that did not compile
  std::map<std::string, SourceState, std::less<>> sourceStates;
  std::vector<GLuint> programs;
  std::map<std::string, PictureResult> pictures;
  std::map<std::string, MeshState> meshes;
};

}  // namespace glowmarch
