// The timeline script: one file read whole, cut into lines in place, kept in file order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace glowmarch {

inline constexpr const char* scriptPath = "data/vesperscript.txt";

struct ScriptLine {
  double time;     // seconds of music time, as written at the start of the line
  char* text;      // the whole line inside the script buffer, without its line break
  bool executed;
};

// Reads the script file into a buffer of its size plus 4 spare bytes.
// Prints "Couldn't open: ..." and returns false when it cannot be opened.
bool readScriptFile(std::unique_ptr<char[]>& buffer, std::uint64_t& size, const char* path = scriptPath);

// Cuts `size` bytes (in a buffer with at least one spare byte after them) into lines in place and
// returns the lines that start with a time stamp. Lines starting with '#' or 'B' are skipped.
std::vector<ScriptLine> splitScript(char* buffer, std::uint64_t size);

}  // namespace glowmarch
