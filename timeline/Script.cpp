#include "timeline/Script.h"

#include <cstdio>
#include <filesystem>

namespace glowmarch {

namespace {
bool isBreak(char c) { return c == '\n' || c == '\r'; }
}  // namespace

bool readScriptFile(std::unique_ptr<char[]>& buffer, std::uint64_t& size, const char* path) {
  std::error_code error;
  // A folder opens like a file on Linux and reports a bogus size: not a script.
  std::FILE* file = std::filesystem::is_directory(path, error) ? nullptr : std::fopen(path, "rb");
  if (file == nullptr) {
    std::printf("Couldn't open: %s\n", path);
    return false;
  }
  long end = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
  if (end < 0) {
    // A pipe or device: nothing that can be read as a script.
    std::fclose(file);
    std::printf("Couldn't open: %s\n", path);
    return false;
  }
  std::rewind(file);
  buffer = std::make_unique<char[]>(static_cast<std::size_t>(end) + 4);
  // A short read (the file shrank meanwhile) must not leave bytes nobody wrote.
  const std::size_t got = std::fread(buffer.get(), 1, static_cast<std::size_t>(end), file);
  std::fclose(file);
  size = got;
  return true;
}

std::vector<ScriptLine> splitScript(char* buffer, std::uint64_t size) {
  std::vector<ScriptLine> lines;
  std::uint64_t pos = 0;
  while (size > 0) {
    std::uint64_t end = pos;
    while (end < size && !isBreak(buffer[end])) ++end;
    buffer[end] = '\0';
    // One or two break bytes end a line: CR LF, LF CR, LF LF and CR CR alike.
    if (end + 1 < size && isBreak(buffer[end + 1])) {
      buffer[end + 1] = '\0';
      ++end;
    }
    char* text = buffer + pos;
    if (text[0] != '#' && text[0] != 'B') {
      double time = 0.0;
      if (std::sscanf(text, "%lf", &time) == 1) lines.push_back(ScriptLine{time, text, false});
    }
    if (end >= size) break;
    pos = end + 1;
    if (pos >= size) break;
  }
  return lines;
}

}  // namespace glowmarch
