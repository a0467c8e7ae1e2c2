#include "app/platform/EncoderPipe.h"

namespace glowmarch {

std::string lastMessageLine(std::string text) {
  for (;;) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    const std::size_t lineStart = text.find_last_of("\r\n");
    const std::string line = lineStart == std::string::npos ? text : text.substr(lineStart + 1);
    if (line != "Conversion failed!" || lineStart == std::string::npos) return line;
    text.resize(lineStart);
  }
}

}  // namespace glowmarch
