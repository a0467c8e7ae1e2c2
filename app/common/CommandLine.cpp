#include "app/common/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "resources/Utf8Path.h"

namespace glowmarch {

bool readWholeNumber(const std::string& text, long& value) {
  if (text.empty() || text.front() == ' ' || text.front() == '+') return false;
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '-') return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && end == text.c_str() + text.size();
}

bool readDecimal(const std::string& text, double& value) {
  if (text.empty()) return false;
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

std::string readSize(const std::string& text, int maxDimension, const char* example, int& width, int& height) {
  const std::string bad = "--size takes WIDTHxHEIGHT in pixels, each from 1 to " + std::to_string(maxDimension) +
                          ", such as " + example + ", not \"" + text + "\"";
  const std::size_t cross = text.find('x');
  if (cross == std::string::npos) return bad;
  long w = 0;
  long h = 0;
  if (!readWholeNumber(text.substr(0, cross), w) || !readWholeNumber(text.substr(cross + 1), h)) return bad;
  if (w < 1 || h < 1 || w > maxDimension || h > maxDimension) return bad;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return {};
}

std::string readCommandLine(const std::vector<std::string>& arguments, const std::vector<CommandOption>& options,
                            const ReadValue& word) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (const std::size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const CommandOption* option = nullptr;
    for (const CommandOption& candidate : options) {
      if (name == candidate.name || (candidate.alias != nullptr && name == candidate.alias)) option = &candidate;
    }
    std::string error;
    if (option == nullptr) {
      // "-" alone names standard input or output by custom: a word, not an option.
      if (name.size() > 1 && name[0] == '-') return "unknown option " + name;
      if (!word) return "unexpected argument \"" + arguments[i] + "\"";
      error = word(arguments[i]);
    } else if (!option->takesValue) {
      if (value) return name + " takes no value";
      error = option->read(std::string());
    } else {
      if (!value) {
        if (i + 1 >= arguments.size()) return name + " needs a value";
        value = arguments[++i];
      }
      error = option->read(*value);
    }
    if (!error.empty()) return error;
  }
  return {};
}

bool enterShowFolderArgument(const char* command, const std::vector<std::string>& arguments) {
  std::optional<std::string> folder;
  const std::string problem = readCommandLine(arguments, {}, [&folder](const std::string& word) {
    if (folder) return "one show folder at most, not also \"" + word + "\"";
    folder = word;
    return std::string();
  });
  if (!problem.empty()) {
    std::fprintf(stderr, "glowmarch %s: %s\nusage: glowmarch %s [SHOW-FOLDER]\n", command, problem.c_str(), command);
    return false;
  }
  if (!folder) return true;
  std::error_code error;
  std::filesystem::current_path(pathFromUtf8(*folder), error);
  if (error) {
    std::fprintf(stderr, "glowmarch %s: cannot enter %s: %s\n", command, folder->c_str(), error.message().c_str());
    return false;
  }
  return true;
}

}  // namespace glowmarch
