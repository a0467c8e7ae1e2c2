#include "app/edit/MessageLog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <utility>

#include <optional>

#include "app/platform/System.h"

namespace glowmarch {

namespace {

// Overlay lines longer than this are cut: a binary file read as a script can print anything.
constexpr std::size_t longestLine = 400;

void alsoToTheLog(const char* bytes, std::size_t size) { showMessages().write(std::string_view(bytes, size)); }

bool looksLikeError(const std::string& line) {
  return line.find("rror") != std::string::npos || line.find("nonexistant") != std::string::npos ||
         line.find("Couldn't") != std::string::npos || line.find("failed") != std::string::npos;
}

// A line of a compiler's log, "0:14(3): error: ..." (Mesa) or "0(14) : error ..." (others): its line
// number and what it says.
std::optional<std::pair<int, std::string>> compilerLine(const std::string& text) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t from = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) ++i;
    return i > from && i - from < 9 ? std::atoi(text.c_str() + from) : -1;
  };
  if (digits() < 0 || i >= text.size()) return std::nullopt;
  int line = -1;
  if (text[i] == ':') {
    ++i;
    line = digits();
    if (line < 0 || i >= text.size() || text[i] != '(') return std::nullopt;
  } else if (text[i] == '(') {
    ++i;
    line = digits();
    if (line < 0 || i >= text.size() || text[i] != ')') return std::nullopt;
  } else {
    return std::nullopt;
  }
  const std::size_t colon = text.find(':', i);
  if (colon == std::string::npos) return std::nullopt;
  std::size_t start = colon + 1;
  while (start < text.size() && text[start] == ' ') ++start;
  return std::pair(line, text.substr(start));
}

}  // namespace

std::vector<MessageGroup> groupMessages(const std::deque<std::string>& messages, const std::vector<Finding>& findings) {
  std::vector<MessageGroup> groups;
  auto groupOf = [&](const std::string& file) -> MessageGroup& {
    // Messages of no file stay in the order they came, between the files' groups.
    if (!file.empty()) {
      for (MessageGroup& group : groups) {
        if (group.file == file) return group;
      }
    } else if (!groups.empty() && groups.back().file.empty()) {
      return groups.back();
    }
    return groups.emplace_back(MessageGroup{file, {}});
  };
  std::set<std::pair<std::string, int>> named;  // the compiler's (file, line)
  std::optional<std::string> compiling;         // the file whose log is being read
  static const std::string header = "Error compiling ";
  static const std::string lookup = "Tried to find a nonexistant shader source: ";
  for (const std::string& text : messages) {
    if (text.rfind(lookup, 0) == 0) {
      // The player's word that a source it just failed to compile is not there: with the compiler's
      // errors of that file, once.
      const std::string file = "data/shaders/" + text.substr(lookup.size());
      const auto group = std::find_if(groups.begin(), groups.end(), [&](const MessageGroup& g) { return g.file == file; });
      if (group != groups.end()) {
        const bool listed = std::any_of(group->entries.begin(), group->entries.end(),
                                        [&](const MessageEntry& entry) { return entry.text == text; });
        if (!listed) group->entries.push_back({text, MessageEntry::error});
        compiling.reset();
        continue;
      }
    }
    if (text.rfind(header, 0) == 0) {
      const std::string file = text.substr(header.size());
      // The player's own header without a file comes right after the edit mode's with one.
      if (file != "shader" || !compiling) compiling = file == "shader" ? std::string("shader") : file;
      continue;
    }
    if (compiling) {
      if (const auto parsed = compilerLine(text)) {
        const std::string file = *compiling == "shader" ? std::string() : *compiling;
        const std::string where = file.empty() ? std::string("shader") : file;
        if (!named.insert({where, parsed->first}).second) continue;
        groupOf(file).entries.push_back(
            {where + ":" + std::to_string(parsed->first) + ": " + parsed->second, MessageEntry::error});
        continue;
      }
      compiling.reset();
    }
    groupOf({}).entries.push_back({text, looksLikeError(text) ? MessageEntry::error : MessageEntry::note});
  }
  for (const Finding& finding : findings) {
    if (finding.line > 0 && named.count({finding.file, finding.line}) > 0) continue;
    groupOf(finding.file).entries.push_back({formatFinding(finding), finding.note ? MessageEntry::note : MessageEntry::finding});
  }
  return groups;
}

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
  // Where the system hands printed text over only when asked, all of it is in before the log is used.
  system::takeCopiedOutput();
  return *log;
}

void MessageLog::install() {
  static bool installed = false;
  if (installed) return;
  if (!system::copyStandardOutput(alsoToTheLog)) return;
  installed = true;
}

}  // namespace glowmarch
