#include "app/release/ShowFiles.h"

#include <algorithm>
#include <filesystem>

#include "resources/Utf8Path.h"
#include "timeline/Script.h"

namespace glowmarch {

ShowFiles sortShowFiles(const std::vector<NamedFile>& named) {
  ShowFiles files;
  for (const NamedFile& file : named) {
    const std::string where = std::string(scriptPath) + ":" + std::to_string(file.line) + ": \"" + file.path + "\" ";
    const std::filesystem::path path = pathFromUtf8(file.path).lexically_normal();
    if (path.empty() || path.has_root_path() || *path.begin() == "..") {
      files.problems.push_back(where + "lies outside the show folder: a release cannot carry it");
    } else if (!file.found) {
      files.problems.push_back(where + "is missing");
    } else if (*path.begin() != "data") {
      const std::string relative = utf8(path);
      if (std::find(files.outsideData.begin(), files.outsideData.end(), relative) == files.outsideData.end()) {
        files.outsideData.push_back(relative);
      }
    }
  }
  return files;
}

}  // namespace glowmarch
