#include "app/release/ReleaseOptions.h"

#include <algorithm>

#include "app/common/CommandLine.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

const char* const releaseUsage =
    "usage: glowmarch --release [--linux] [--windows] [--out DIR] [--force] [--] SHOW\n"
    "\n"
    "Makes DIR/NAME-linux-x86_64/ and DIR/NAME-linux-x86_64.tar.gz, DIR/NAME-windows-x64/ and\n"
    "DIR/NAME-windows-x64.zip from the show folder SHOW (NAME is its name): the player, the show's data/\n"
    "and every other file its script names, the libraries, a README.txt. Both systems unless one is named.\n"
    "The players come from the runtimes beside this program (scripts/runtimes makes them).\n"
    "\n"
    "  --linux      the Linux release\n"
    "  --windows    the Windows release\n"
    "  --out DIR    where the releases go (default: release)\n"
    "  --force      release a show although the check finds mistakes in it\n";

std::string readReleaseOptions(const std::vector<std::string>& arguments, ReleaseOptions& options) {
  bool showNamed = false;
  const auto show = [&](const std::string& word) {
    if (showNamed) return "one show at a time, not also \"" + word + "\"";
    options.show = pathFromUtf8(word);
    showNamed = true;
    return std::string();
  };
  const auto set = [](bool& flag) {
    return [&flag](const std::string&) {
      flag = true;
      return std::string();
    };
  };
  const std::vector<CommandOption> table = {
      {"--linux", nullptr, false, set(options.forLinux)},
      {"--windows", nullptr, false, set(options.forWindows)},
      {"--force", nullptr, false, set(options.force)},
      {"--help", "-h", false, set(options.help)},
      {"--out", nullptr, true,
       [&options](const std::string& value) {
         if (value.empty()) return std::string("--out needs a folder");
         options.out = pathFromUtf8(value);
         return std::string();
       }},
  };
  const auto end = std::find(arguments.begin(), arguments.end(), "--");
  std::string problem = readCommandLine(std::vector<std::string>(arguments.begin(), end), table, show);
  if (!problem.empty()) return problem;
  if (end != arguments.end()) {
    for (auto word = end + 1; word != arguments.end(); ++word) {
      problem = show(*word);
      if (!problem.empty()) return problem;
    }
  }
  if (options.help) return {};
  if (!showNamed) return "which show? Name its folder";
  if (options.show.empty()) return "the show folder's name is empty";
  if (!options.forLinux && !options.forWindows) options.forLinux = options.forWindows = true;
  return {};
}

}  // namespace glowmarch
