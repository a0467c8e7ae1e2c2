// The runtimes a release copies its players from: for each system the player, prebuilt with its
// libraries, in runtimes/SYSTEM/ beside the program's bin/ folder, with runtime.txt naming its files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace glowmarch {

struct RuntimeSystem {
  const char* name;         // "linux-x86_64": the runtime's folder and the release folder's suffix
  const char* title;        // "Linux"
  const char* archiveType;  // ".tar.gz" or ".zip"
};

extern const RuntimeSystem linuxRuntime;
extern const RuntimeSystem windowsRuntime;

struct Runtime {
  std::filesystem::path folder;
  std::string player;               // relative to the folder, '/'-separated
  std::vector<std::string> files;   // the others, placed beside the player at the same paths
};

// Reads the text of a runtime.txt: "player PATH" once, "file PATH" for each other file, "#" notes.
// Paths must stay inside the folder. Returns what is wrong, empty when read.
std::string readRuntimeList(const std::string& text, Runtime& runtime);

// runtimes/ beside the running program's bin/ folder.
std::filesystem::path runtimesFolder();

// The runtime in `folder`, every file it lists present; otherwise what is missing and how to make it.
std::string loadRuntime(const RuntimeSystem& system, const std::filesystem::path& folder, Runtime& runtime);

}  // namespace glowmarch
