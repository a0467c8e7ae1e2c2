#include "effects/LocalParameter.h"

#include <cstdio>

namespace glowmarch {

std::optional<LocalParameter> splitLocalParameter(char* text) {
  if (text == nullptr) return std::nullopt;
  constexpr int maxSeparators = 18;
  char* value = nullptr;
  int separators = 0;
  for (char* p = text; *p != '\0' && separators < maxSeparators; ++p) {
    if (*p == ';') {
      *p = '\0';
      if (separators++ == 0) value = p + 1;
    }
  }
  if (value == nullptr) return std::nullopt;
  return LocalParameter{text, value};
}

void reportFailedLocal(const LocalParameter& parameter) {
  std::printf("failed local: %s %s", parameter.word, parameter.value);
}

std::optional<std::int32_t> choiceValue(std::span<const NamedValue> choices, std::string_view word) {
  for (const NamedValue& choice : choices) {
    if (choice.word == word) return choice.value;
  }
  return std::nullopt;
}

}  // namespace glowmarch
