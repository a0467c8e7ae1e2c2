// The script's grammar as the interpreter declares it, for tools that read a show without playing it.
#pragma once

#include <string_view>
#include <vector>

#include "effects/LocalParameter.h"

namespace glowmarch {

struct CommandWord {
  std::string_view word;
  int wordsNeeded;  // the name and the command word included
  bool enforced;    // a shorter line does nothing; otherwise what is missing reads as empty text or 0
  std::string_view arguments;  // what the arguments after the command word are, for messages
};

// Every command word executeLine knows, in the order it matches them.
std::vector<CommandWord> commandWords();

struct EffectType {
  std::string_view word;
  std::vector<LocalWord> localWords;  // what the class's `local` takes
};

// Every type word "new" knows, in the order it matches them.
std::vector<EffectType> effectTypes();

}  // namespace glowmarch
