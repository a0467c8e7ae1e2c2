// The parameter word of the script's "local" command: "word;value", split in place at ';'.
#pragma once

#include <optional>

namespace glowmarch {

struct LocalParameter {
  const char* word;
  const char* value;  // up to the next ';'
};

// Splits `text` in place (at most 18 separators). Without a ';' there is no value to read:
// the result is empty and the caller does nothing.
std::optional<LocalParameter> splitLocalParameter(char* text);

// "failed local: %s %s" with no line end, as the player has always printed it.
void reportFailedLocal(const LocalParameter& parameter);

}  // namespace glowmarch
