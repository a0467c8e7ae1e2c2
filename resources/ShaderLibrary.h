// Named GLSL stages and programs built from "data/shaders/", shared by name for the whole show.
#pragma once

#include <GL/glew.h>

#include <array>
#include <set>
#include <string>
#include <string_view>

namespace glowmarch {

// Compiles "data/shaders/<name>"; the stage type comes from the first of ".vert", ".frag", ".geom"
// found in the name. A missing file registers an empty stage silently; a failed compile prints
// its log and registers nothing, so the next request tries again. 0 when nothing was made.
GLuint loadShaderSource(std::string_view name);
// The registered stage, loading it on first request; 0 with a message when there is none.
GLuint findShaderSource(std::string_view name);

// Links a program from up to three sources (an empty name is skipped) and registers it
// under `name`, replacing an earlier program of that name, even when linking fails.
void createShaderProgram(std::string_view name, std::string_view source1, std::string_view source2,
                         std::string_view source3);
// The program registered under `name`, or 0 with a message.
GLuint findShaderProgram(std::string_view name);

// Forgets every stage and program (their GL objects die with the context).
void clearShaderLibrary();

// The locations of "in_position", "in_normal" and "in_texcoords" in `program`; -1 for those it lacks
// and for program 0.
std::array<GLint, 3> attributeLocations(GLuint program);

// While resources are kept (keepResourcesAcrossShows): the show's programs are handed on to the
// next show, which takes a program again without compiling or linking when its stages' texts are
// the same; stages and programs nothing refers to any more are deleted.
void releaseShaderLibrary();

// The sources `names` changed on disk: every program made so far that names one of them (or that
// did not link) is built again into the same GL program, so the objects holding it draw with the
// new code, printing what creating it prints. Needs resources kept.
struct SourcesReloaded {
  int relinked = 0;
  // A program's vertex layout moved, or it could not be linked in place: meshes described to it
  // must be made again.
  bool layoutChanged = false;
  std::string previousMessages;  // what creating the programs printed before
};
SourcesReloaded reloadShaderSources(const std::set<std::string>& names);

// The edit mode's safety net, off by default: a program whose sources no longer compile or link is
// built from the sources of its last good link instead (with a message saying so), so a show being
// edited keeps its picture until a save fixes the error. What is remembered outlives
// clearShaderLibrary, and goes when this is turned off.
void keepLastGoodPrograms(bool keep);

// The name a program is registered under, for tools that show a show; empty when none is (0, or a
// program a later one of its name replaced).
std::string_view shaderProgramName(GLuint program);

}  // namespace glowmarch
