// The show check: reads a show's script and every file it names as the player would, without
// playing it, and names each mistake the player would pass over in silence, with its file and line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace glowmarch {

struct Finding {
  std::string file;
  int line = 0;  // 0: the file as a whole
  std::string message;
  bool note = false;  // worth knowing, not a mistake: it does not fail the check
};

// A file the script makes the player open, as the player names it (relative to the show's folder),
// with the first line that needs it: shader sources, pictures and OBJ meshes, only on lines that run.
struct NamedFile {
  std::string path;
  int line = 0;
  bool found = false;  // false: the player looks for it and finds nothing
};

// Reads the show in the working folder as the player would (script, shaders, textures, meshes, music)
// without playing it. Needs a current GL context to compile shaders; changes no process-wide registry
// (effects, shader and texture libraries, per-frame values, particle random engine), so it can run
// beside a show that plays; deletes the GL objects it makes. Findings come sorted by file and line.
// With `named`, also lists every file the script names, each once.
std::vector<Finding> checkShow(std::vector<NamedFile>* named = nullptr);

// The findings that are mistakes: all but the notes.
std::size_t countProblems(const std::vector<Finding>& findings);

// "FILE:LINE: message", the form compilers use; "FILE: message" for a file as a whole; "note: " before
// the message of a note.
std::string formatFinding(const Finding& finding);

// The whole --check program, given the arguments after "--check" (at most a show folder to check
// instead of the working one): prints findings, returns 1 if any is not a note, else 0 (2 when it
// cannot check).
int runCheck(const std::vector<std::string>& arguments);

}  // namespace glowmarch
