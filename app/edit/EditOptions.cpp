#include "app/edit/EditOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace glowmarch {

namespace {

bool readWhole(const std::string& text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  value = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

// A finite decimal number and nothing else; strtod alone would take "inf", "nan", hex and leading blanks.
std::string readAt(const std::string& text, double& seconds) {
  const std::string bad = "--at takes a time in seconds of music, 0 or more, not \"" + text + "\"";
  if (text.empty()) return bad;
  for (char c : text) {
    if ((c < '0' || c > '9') && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return bad;
  }
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value) || value < 0.0) return bad;
  if (value > 7200.0) return "--at " + text + " lies beyond any show";
  seconds = value;
  return {};
}

std::string readSize(const std::string& text, int& width, int& height) {
  const std::string bad = "--size takes WIDTHxHEIGHT in pixels, each from 1 to " +
                          std::to_string(maxEditDimension) + ", such as 1280x720, not \"" + text + "\"";
  const std::size_t cross = text.find('x');
  if (cross == std::string::npos) return bad;
  long w = 0;
  long h = 0;
  if (!readWhole(text.substr(0, cross), w) || !readWhole(text.substr(cross + 1), h)) return bad;
  if (w < 1 || h < 1 || w > maxEditDimension || h > maxEditDimension) return bad;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return {};
}

}  // namespace

ParsedEditOptions parseEditOptions(const std::vector<std::string>& arguments) {
  ParsedEditOptions parsed;
  EditOptions& options = parsed.options;
  bool editOnly = false;  // an option that means something only in the edit mode was given
  for (std::size_t i = 0; i < arguments.size() && parsed.ok(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (const std::size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const bool takesValue = name == "--at" || name == "--size";
    if (name != "--help" && name != "-h" && name != "--edit" && name != "--paused" && !takesValue) {
      parsed.error = name.rfind("-", 0) == 0 ? "unknown option " + name : "unexpected argument \"" + name + "\"";
      break;
    }
    if (!takesValue) {
      if (value) {
        parsed.error = name + " takes no value";
      } else if (name == "--edit") {
        options.edit = true;
      } else if (name == "--paused") {
        options.paused = true;
        editOnly = true;
      } else {
        options.help = true;
      }
      continue;
    }
    if (!value) {
      if (i + 1 >= arguments.size()) {
        parsed.error = name + " needs a value";
        break;
      }
      value = arguments[++i];
    }
    editOnly = true;
    parsed.error = name == "--at" ? readAt(*value, options.at) : readSize(*value, options.width, options.height);
  }
  if (parsed.ok() && editOnly && !options.edit && !options.help) {
    parsed.error = "--at, --paused and --size go with --edit";
  }
  return parsed;
}

std::string editUsage() {
  return std::string("Usage: ") + playerProgram +
         " [--edit [--at SECONDS] [--paused] [--size WxH] | --check | --help]\n"
         "Plays the show in the working folder (data/vesperscript.txt and the rest). With no option it asks\n"
         "whether to run full screen and plays from the start.\n"
         "\n"
         "  --edit        edit mode: a window, a transport with the music following, the show reloaded in\n"
         "                place whenever one of its files is saved, and an overlay with the timeline and\n"
         "                the show's messages\n"
         "  --at S        start at S seconds of music (on the 1/60 s grid)\n"
         "  --paused      start paused\n"
         "  --size WxH    window size in pixels (default: 1920x1080)\n"
         "  --check       check the show instead: every mistake named with its file and line\n"
         "  --help        this text\n"
         "\n"
         "Edit mode keys: Space pause/resume; Left/Right 1 s back/forward (Shift: 10 s); Home the start;\n"
         "[ and ] loop start and end at the current time, L looping on/off; , and . one frame back/forward\n"
         "while paused; Tab the overlay; F6 reload; F5 restart from 0; F1 full screen; Escape ends.\n";
}

}  // namespace glowmarch
