#include "app/edit/MessageLog.h"

#include <cstdlib>

#include "app/platform/System.h"

namespace glowmarch {

namespace {

// Overlay lines longer than this are cut: a binary file read as a script can print anything.
constexpr std::size_t longestLine = 400;

void alsoToTheLog(const char* bytes, std::size_t size) { showMessages().write(std::string_view(bytes, size)); }

}  // namespace

bool isListingLine(std::string_view line) {
  const std::size_t space = line.rfind(' ');
  if (space == std::string_view::npos) return false;
  const std::string text(line);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%f", std::atof(text.c_str()));
  return line.substr(space + 1) == stamp;
}

bool isShowMessage(std::string_view line) {
  if (line.empty() || line.rfind("Doing: ", 0) == 0) return false;
  return !isListingLine(line);
}

void MessageLog::write(std::string_view text) {
  for (char c : text) {
    if (c != '\n') {
      if (partial.size() < longestLine) partial.push_back(c);
      continue;
    }
    if (isShowMessage(partial)) note(partial);
    partial.clear();
  }
}

void MessageLog::note(std::string line) {
  kept.push_back(std::move(line));
  while (kept.size() > capacity) kept.pop_front();
}

MessageLog& showMessages() {
  static MessageLog* log = new MessageLog();  // never destroyed: the exit flushes standard output through it
  return *log;
}

void MessageLog::install() {
  static bool installed = false;
  if (installed) return;
  if (!system::copyStandardOutput(alsoToTheLog)) return;
  installed = true;
}

}  // namespace glowmarch
