// The script's fixed words, for tools that read a show without playing it.
#pragma once

#include <string_view>
#include <vector>

namespace glowmarch {

struct CommandWord {
  std::string_view word;
  int wordsNeeded;  // a shorter line does nothing; 0 when the count is not enforced
};

// Every command word executeLine knows, in the order it matches them.
std::vector<CommandWord> commandWords();

// Every type word "new" knows.
std::vector<std::string_view> effectTypeWords();

}  // namespace glowmarch
