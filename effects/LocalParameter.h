// The parameter word of the script's "local" command: "word;value", split in place at ';', and the
// table each class declares its words in, which its own parsing and the show check both read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

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

// A word an enumerated value may be, and what it stands for.
struct NamedValue {
  std::string_view word;
  std::int32_t value;
};

// What the value after the ';' is read as.
enum class LocalValue { number, integer, text, effectName, objPath, choice };

// One parameter word a class takes.
struct LocalWord {
  std::string_view word;
  LocalValue value;
  std::string_view meaning;              // what the word sets, for messages: "particle type"
  std::span<const NamedValue> choices{};  // the words a `choice` value may be; others change nothing
};

std::optional<std::int32_t> choiceValue(std::span<const NamedValue> choices, std::string_view word);

// A declared word with what the class does with its value.
template <typename Effect>
struct LocalSetting {
  LocalWord declared;
  void (*apply)(Effect& effect, float time, const char* value);
};

// Whether a word no setting declares says "failed local".
enum class UnknownWord { reported, ignored };

// The class's `local`: the setting `text` names, matched in table order.
template <typename Effect, std::size_t count>
void applyLocal(Effect& effect, const LocalSetting<Effect> (&settings)[count], float time, char* text,
                UnknownWord unknown = UnknownWord::reported) {
  const std::optional<LocalParameter> parameter = splitLocalParameter(text);
  if (!parameter) return;
  for (const LocalSetting<Effect>& setting : settings) {
    if (setting.declared.word == parameter->word) {
      setting.apply(effect, time, parameter->value);
      return;
    }
  }
  if (unknown == UnknownWord::reported) reportFailedLocal(*parameter);
}

template <typename Effect, std::size_t count>
std::vector<LocalWord> declaredWords(const LocalSetting<Effect> (&settings)[count]) {
  std::vector<LocalWord> words;
  for (const LocalSetting<Effect>& setting : settings) words.push_back(setting.declared);
  return words;
}

}  // namespace glowmarch
