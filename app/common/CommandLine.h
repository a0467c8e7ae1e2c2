// Option values of the programs' command lines, read strictly: a word that is not wholly the number
// asked for is refused with a message, never read as 0.
#pragma once

#include <string>

namespace glowmarch {

// A whole decimal number and nothing else: "30", not "30fps", "3e1" or " 30".
bool readWholeNumber(const std::string& text, long& value);
// A finite decimal number and nothing else; strtod alone would take "inf", "nan", hex and leading blanks.
bool readDecimal(const std::string& text, double& value);
// "--size WIDTHxHEIGHT", each from 1 to `maxDimension`: an empty text when read, else what is wrong.
std::string readSize(const std::string& text, int maxDimension, const char* example, int& width, int& height);

}  // namespace glowmarch
