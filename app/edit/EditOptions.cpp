#include "app/edit/EditOptions.h"

#include <optional>

#include "app/common/CommandLine.h"

namespace glowmarch {

namespace {

std::string readAt(const std::string& text, double& seconds) {
  double value = 0.0;
  if (!readDecimal(text, value) || value < 0.0) {
    return "--at takes a time in seconds of music, 0 or more, not \"" + text + "\"";
  }
  if (value > 7200.0) return "--at " + text + " lies beyond any show";
  seconds = value;
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
    parsed.error = name == "--at"
                       ? readAt(*value, options.at)
                       : readSize(*value, maxEditDimension, "1280x720", options.width, options.height);
  }
  if (parsed.ok() && editOnly && !options.edit && !options.help) {
    parsed.error = "--at, --paused and --size go with --edit";
  }
  return parsed;
}

std::string editUsage() {
  return std::string("Usage: ") + playerProgram +
         " [--edit [--at SECONDS] [--paused] [--size WxH] | --check | --new FOLDER | --help]\n"
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
         "  --new FOLDER  write a small working show into FOLDER to start from\n"
         "  --help        this text\n"
         "\n"
         "Edit mode keys: Space pause/resume; Left/Right 1 s back/forward (Shift: 10 s); Home the start;\n"
         "[ and ] loop start and end at the current time, L looping on/off; , and . one frame back/forward\n"
         "while paused; Page Up/Down the previous/next beat; C copies the time; Tab the overlay; F6 reload;\n"
         "F5 restart from 0; F1 full screen; Escape ends.\n";
}

}  // namespace glowmarch
