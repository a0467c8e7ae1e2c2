#include "app/release/Runtime.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "app/platform/System.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

namespace fs = std::filesystem;

const RuntimeSystem linuxRuntime{"linux-x86_64", "Linux", ".tar.gz"};
const RuntimeSystem windowsRuntime{"windows-x64", "Windows", ".zip"};

namespace {

const char* const makeIt = "scripts/runtimes (in Glowmarch's source tree) makes it";

bool staysInside(const std::string& path) {
  const fs::path relative = pathFromUtf8(path).lexically_normal();
  return !path.empty() && !relative.has_root_path() && !relative.empty() && *relative.begin() != "..";
}

}  // namespace

std::string readRuntimeList(const std::string& text, Runtime& runtime) {
  runtime.player.clear();
  runtime.files.clear();
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string path = space == std::string::npos ? "" : line.substr(space + 1);
    const std::string where = "runtime.txt line " + std::to_string(number) + ": ";
    if (kind != "player" && kind != "file") return where + "\"" + kind + "\" is neither player nor file";
    if (!staysInside(path)) return where + "\"" + path + "\" is no path inside the runtime";
    if (kind == "file") {
      runtime.files.push_back(path);
    } else if (!runtime.player.empty()) {
      return where + "a second player";
    } else {
      runtime.player = path;
    }
  }
  if (runtime.player.empty()) return "runtime.txt names no player";
  return {};
}

fs::path runtimesFolder() {
  const fs::path bin = system::executableFolder();
  return bin.empty() ? fs::path() : bin.parent_path() / "runtimes";
}

std::string loadRuntime(const RuntimeSystem& system, const fs::path& folder, Runtime& runtime) {
  const std::string title = std::string("the ") + system.title + " runtime";
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    return "no " + std::string(system.title) + " runtime: " + utf8(folder) + " does not exist; " + makeIt;
  }
  const std::string again = "; make it again: " + std::string(makeIt);
  std::ifstream in(folder / "runtime.txt", std::ios::binary);
  if (!in) return title + " in " + utf8(folder) + " is incomplete: runtime.txt is missing" + again;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  runtime.folder = folder;
  const std::string problem = readRuntimeList(text, runtime);
  if (!problem.empty()) return title + " in " + utf8(folder) + " is damaged: " + problem + again;
  std::vector<std::string> all = runtime.files;
  all.insert(all.begin(), runtime.player);
  for (const std::string& file : all) {
    if (!fs::is_regular_file(folder / pathFromUtf8(file), error)) {
      return title + " in " + utf8(folder) + " is incomplete: " + file + " is missing" + again;
    }
  }
  return {};
}

}  // namespace glowmarch
