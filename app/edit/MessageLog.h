// The show's messages, kept for the edit mode's overlay: standard output is routed through here and
// still receives every byte as it is printed. The listing and the "Doing: " lines are not messages.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "app/check/ShowCheck.h"

namespace glowmarch {

// A line of the script's listing: the line's own text followed by its time stamp as "%f".
bool isListingLine(std::string_view line);

// Whether the line goes to the overlay: not the listing, not a "Doing: " line, not empty.
bool isShowMessage(std::string_view line);

class MessageLog {
 public:
  // Most lines kept; older ones give way.
  static constexpr std::size_t capacity = 200;

  // Routes standard output through the log; once per process.
  static void install();

  // Cuts printed text into lines and keeps the messages among them.
  void write(std::string_view text);
  const std::deque<std::string>& lines() const { return kept; }
  void clear() { kept.clear(); }
  // Keeps a line as it is, whatever it says (the edit mode's own notes).
  void note(std::string line);

 private:
  std::deque<std::string> kept;
  std::string partial;  // text after the last line break
};

// The overlay's list: the show's messages in order, each compiler error once, under the file it is
// in and with its line, and the show check's findings under their files; a finding at a line the
// compiler already named is left out.
struct MessageEntry {
  std::string text;  // "FILE:LINE: ..." for a line of a file
  enum Kind { note, error, finding } kind = note;
};
struct MessageGroup {
  std::string file;  // empty: the messages of no file
  std::vector<MessageEntry> entries;
};
std::vector<MessageGroup> groupMessages(const std::deque<std::string>& messages, const std::vector<Finding>& findings);

// The log standard output goes to once installed.
MessageLog& showMessages();

}  // namespace glowmarch
