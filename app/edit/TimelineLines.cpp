#include "app/edit/TimelineLines.h"

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

}  // namespace glowmarch
