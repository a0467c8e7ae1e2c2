#include "app/edit/EditOptions.h"

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
  EditOptions& o = parsed.options;
  bool editOnly = false;  // an option that means something only in the edit mode was given
  const auto flag = [&editOnly](bool& target, bool onlyEdit) {
    return [&target, &editOnly, onlyEdit](const std::string&) {
      target = true;
      editOnly = editOnly || onlyEdit;
      return std::string();
    };
  };
  parsed.error = readCommandLine(
      arguments,
      {{"--help", "-h", false, flag(o.help, false)},
       {"--edit", nullptr, false, flag(o.edit, false)},
       {"--paused", nullptr, false, flag(o.paused, true)},
       {"--at", nullptr, true, [&](const std::string& v) { return editOnly = true, readAt(v, o.at); }},
       {"--size", nullptr, true, [&](const std::string& v) {
          editOnly = true;
          return readSize(v, maxEditDimension, "1280x720", o.width, o.height);
        }}});
  if (parsed.ok() && editOnly && !o.edit && !o.help) {
    parsed.error = "--at, --paused and --size go with --edit";
  }
  return parsed;
}

std::string editUsage() {
  return std::string("Usage: ") + playerProgram +
         " [--edit [--at SECONDS] [--paused] [--size WxH] | --check | --beats | --new FOLDER | --release ... SHOW |\n"
         " --help]\n"
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
         "  --beats       write the music's beats to data/music/beats.txt, for the shaders' musicbeat\n"
         "  --new FOLDER  write a small working show into FOLDER to start from\n"
         "  --release     the folders and archives that play the show SHOW on Linux and Windows\n"
         "                (glowmarch --release --help)\n"
         "  --help        this text\n"
         "\n"
         "Edit mode keys: Space pause/resume; Left/Right 1 s back/forward (Shift: 10 s); Home the start;\n"
         "[ and ] loop start and end at the current time, L looping on/off; , and . one frame back/forward\n"
         "while paused; Page Up/Down the previous/next beat; C copies the time stamp of the frame shown; Tab the\n"
         "overlay; I the inspector; F6 reload; F5 restart from 0; F1 full screen; Escape ends.\n"
         "Drag a tick on the timeline to move its lines to a beat (Shift: to any frame); Ctrl+Left/Right move the\n"
         "inspector's line to the beat before/after; Ctrl+Z undoes, Ctrl+Shift+Z or Ctrl+Y redoes; B writes the\n"
         "beats to data/music/beats.txt.\n";
}

}  // namespace glowmarch
