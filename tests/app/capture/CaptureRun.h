// Running the capture program and the capture farm as a person would, in a show's folder, and
// looking at the files they leave.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace glowmarch::testing {

inline const std::filesystem::path captureBinary =
    std::filesystem::path(GLOWMARCH_BINARY_DIR) / "bin" / "glowmarch-capture";
inline const std::filesystem::path showcaseFolder = std::filesystem::path(GLOWMARCH_SOURCE_DIR) / "showcase";

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A word for the shell, whatever it holds.
inline std::string quoted(const std::filesystem::path& path) {
  std::string word = "'";
  for (const char c : path.string()) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the shell command line `command` in `folder`, its output kept in files under `logs`.
inline ProgramRun runIn(const std::filesystem::path& folder, const std::string& command,
                        const std::filesystem::path& logs) {
  const std::filesystem::path out = logs / "stdout.txt";
  const std::filesystem::path err = logs / "stderr.txt";
  const std::string line = "cd " + quoted(folder) + " && " + command + " >" + quoted(out) + " 2>" + quoted(err) +
                           " </dev/null";
  const int status = std::system(line.c_str());
  ProgramRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readText(out);
  run.err = readText(err);
  return run;
}

inline std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// File name to hash of its bytes, for every file of the folder.
inline std::map<std::string, std::uint64_t> hashes(const std::filesystem::path& folder) {
  std::map<std::string, std::uint64_t> result;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    result[entry.path().filename().string()] = fnv1a(readText(entry.path()));
  }
  return result;
}

}  // namespace glowmarch::testing
