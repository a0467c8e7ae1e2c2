#include "app/edit/TimelineLines.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "timeline/Player.h"

namespace glowmarch {

std::vector<TimelineLine> timelineLines(const Player& player) {
  std::vector<TimelineLine> lines;
  std::ifstream in(scriptPath, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t at = 0;
  int number = 1;
  for (const ScriptLine& line : player.scriptLines) {
    const std::size_t offset = static_cast<std::size_t>(line.text - player.scriptText.get());
    for (; at < offset && at < file.size(); ++at) {
      if (file[at] == '\n' || (file[at] == '\r' && (at + 1 >= file.size() || file[at + 1] != '\n'))) ++number;
    }
    // Running a line cuts its words apart in the player's copy: the text comes from the file.
    std::string text;
    if (offset < file.size()) text = file.substr(offset, file.find_first_of("\r\n", offset) - offset);
    lines.push_back(TimelineLine{line.time, number, std::move(text)});
  }
  return lines;
}

std::optional<double> scriptEnd(const std::vector<TimelineLine>& lines) {
  std::optional<double> end;
  for (const TimelineLine& line : lines) {
    // Words as the interpreter cuts them, at every space and comma: the stamp, the name, the command.
    std::size_t from = 0;
    std::string command;
    for (int word = 0; word <= 2 && from <= line.text.size(); ++word) {
      const std::size_t cut = std::min(line.text.find_first_of(" ,", from), line.text.size());
      if (word == 2) command = line.text.substr(from, cut - from);
      from = cut + 1;
    }
    if (command == "END") end = std::min(end.value_or(line.time), std::max(line.time, 0.0));
  }
  return end;
}

}  // namespace glowmarch
