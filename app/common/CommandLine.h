// The programs' command lines, read from a table of their options, and option values read strictly:
// a word that is not wholly the number asked for is refused with a message, never read as 0.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace glowmarch {

// A whole decimal number and nothing else: "30", not "30fps", "3e1" or " 30".
bool readWholeNumber(const std::string& text, long& value);
// A finite decimal number and nothing else; strtod alone would take "inf", "nan", hex and leading blanks.
bool readDecimal(const std::string& text, double& value);
// "--size WIDTHxHEIGHT", each from 1 to `maxDimension`: an empty text when read, else what is wrong.
std::string readSize(const std::string& text, int maxDimension, const char* example, int& width, int& height);

// What reads an option's value (empty for an option that takes none), or a word that is no option:
// what is wrong with it, empty when it was read.
using ReadValue = std::function<std::string(const std::string& value)>;

// One option of a command line.
struct CommandOption {
  const char* name;             // "--fps"
  const char* alias = nullptr;  // "-h"
  bool takesValue = false;
  ReadValue read;
};

// Reads `arguments` (those after the program's name) in order against `options`: "--name value" and
// "--name=value" for an option that takes a value, "--name" alone for one that does not. Words that are
// not options go to `word`, or are refused without it. Returns the first thing wrong, empty when
// everything was read.
std::string readCommandLine(const std::vector<std::string>& arguments, const std::vector<CommandOption>& options,
                            const ReadValue& word = nullptr);

// For a command whose one argument is a show folder to use instead of the working one
// ("glowmarch --check [SHOW-FOLDER]"): reads it and makes it the working folder. False after saying
// what is wrong on standard error, with the usage, under the command's name ("--check").
bool enterShowFolderArgument(const char* command, const std::vector<std::string>& arguments);

}  // namespace glowmarch
