// The script commands: one line cut into words in place, matched against the command table in order.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "effects/EffectRegistry.h"
#include "resources/ShaderLibrary.h"
#include "resources/TextureLibrary.h"
#include "timeline/CommandWords.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

constexpr int maxWords = 20;

struct Words {
  std::array<char*, maxWords> word{};
  int count = 0;  // separators on the line; may exceed maxWords
  // A word the line lacks reads as empty text, never past the line.
  const char* operator[](int i) const { return i < count && i < maxWords ? word[i] : ""; }
};

Words cutWords(char* text) {
  Words words;
  for (char* p = text; *p != '\0'; ++p) {
    if (*p != ' ' && *p != ',') continue;
    *p = '\0';
    if (words.count < maxWords) words.word[words.count] = p + 1;
    ++words.count;
  }
  return words;
}

float number(const char* word) { return static_cast<float>(std::atof(word)); }

void setVector(float* target, const Words& w) {
  for (int i = 0; i < 3; ++i) target[i] = number(w[2 + i]);
}

void reportMissing(const char* missing, const Words& w) {
  std::printf("No effect named %s: \"%s %s %s\" ignored\n", missing, w[0], w[1], w[2]);
}

struct Context {
  Player& player;
  const ScriptLine& line;
  const Words& w;
  Demoeffect* target;  // the effect named by word 0; null for "SCENE" with nothing registered
};

// The effect named by word 2, or null after saying so.
Demoeffect* argument(const Context& c) {
  Demoeffect* effect = effects.find(c.w[2]);
  if (effect == nullptr) reportMissing(c.w[2], c.w);
  return effect;
}

void startTween(float* from, float* to, double& start, double& end, const float* current, const Context& c) {
  start = c.line.time;
  end = c.line.time + std::atof(c.w[5]);
  for (int i = 0; i < 3; ++i) from[i] = current[i];
  setVector(to, c.w);
}

struct Command {
  CommandWord declared;
  bool addressed;  // acts on the effect named by word 0, so the existence test comes first
  void (*run)(const Context&);
};

constexpr std::string_view xyz = "x, y and z";

// Matched in this order. The target is null for "SCENE append" and for the commands not addressed.
const Command commands[] = {
    {{"SHADER", 3, false, "at least one shader source"}, false,
     [](const Context& c) { createShaderProgram(c.w[0], c.w[2], c.w[3], c.w[4]); }},
    {{"END", 2, false, "nothing"}, false,
     [](const Context& c) {
       std::fflush(stdout);
       c.player.ended = true;
     }},
    {{"new", 3, false, "a type word"}, false, [](const Context& c) { effects.store(c.w[0], createEffect(c.w[2])); }},
    {{"clone", 3, false, "the name of the object to copy"}, false,
     [](const Context& c) {
       if (const Demoeffect* source = argument(c)) effects.store(c.w[0], source->clone());
     }},
    {{"texture", 3, false, "a picture name"}, true,
     [](const Context& c) { c.target->texture = findTexture(c.w[2]); }},
    {{"shader", 3, false, "a program name"}, true,
     [](const Context& c) { c.target->shader = findShaderProgram(c.w[2]); }},
    {{"append", 3, false, "the name of an object"}, true,
     [](const Context& c) {
       Demoeffect* child = argument(c);
       if (child == nullptr) return;
       if (c.target == nullptr) {
         c.player.scene.push_back(child);
       } else if (child->reaches(c.target)) {
         // Drawing follows children: a cycle would recurse without end.
         std::printf("Can't append %s to %s: %s already contains %s\n", c.w[2], c.w[0], c.w[2], c.w[0]);
       } else {
         c.target->addChild(child);
       }
     }},
    {{"remove", 3, false, "the name of an object"}, true,
     [](const Context& c) {
       if (Demoeffect* child = argument(c)) c.target->removeChild(child);
     }},
    {{"setpoint", 5, true, xyz}, true, [](const Context& c) { setVector(c.target->transform.point, c.w); }},
    {{"movepoint", 6, true, "x, y, z and a duration"}, true,
     [](const Context& c) {
       Transform& t = c.target->transform;
       startTween(t.moveFrom, t.moveTo, t.moveStart, t.moveEnd, t.point, c);
       t.motionFlags |= Transform::moving;
     }},
    {{"rotatepoint", 6, true, "x, y, z and a duration"}, true,
     [](const Context& c) {
       Transform& t = c.target->transform;
       startTween(t.rotateFrom, t.rotateTo, t.rotateStart, t.rotateEnd, t.direction, c);
       t.motionFlags |= Transform::rotating;
     }},
    {{"deltapoint", 5, true, xyz}, true, [](const Context& c) { setVector(c.target->transform.deltaPoint, c.w); }},
    {{"setdirection", 5, false, xyz}, true,
     [](const Context& c) { setVector(c.target->transform.direction, c.w); }},
    {{"deltadirection", 5, false, xyz}, true,
     [](const Context& c) { setVector(c.target->transform.deltaDirection, c.w); }},
    {{"local", 3, false, "a parameter word;value"}, true,
     [](const Context& c) {
       // The word is handed over writable; classes split it at ';' in place.
       static char missing[1] = "";
       missing[0] = '\0';
       c.target->local(static_cast<float>(c.line.time), c.w.count > 2 ? c.w.word[2] : missing);
     }},
    {{"scale", 3, false, "a factor"}, true, [](const Context& c) { c.target->scale = std::atof(c.w[2]); }},
    {{"scalex", 3, false, "a factor"}, true, [](const Context& c) { c.target->scaleX = std::atof(c.w[2]); }},
    {{"scaley", 3, false, "a factor"}, true, [](const Context& c) { c.target->scaleY = std::atof(c.w[2]); }},
    {{"scalez", 3, false, "a factor"}, true, [](const Context& c) { c.target->scaleZ = std::atof(c.w[2]); }},
    {{"timer", 3, false, "a time in seconds"}, true, [](const Context& c) { c.target->timer = std::atof(c.w[2]); }},
    // The script can only add bits to state, never clear them.
    {{"state", 3, false, "a whole number"}, true, [](const Context& c) { c.target->state |= std::atoi(c.w[2]); }},
};

const Command* findCommand(std::string_view word, bool addressed) {
  for (const Command& entry : commands) {
    if (entry.addressed == addressed && entry.declared.word == word) return &entry;
  }
  return nullptr;
}

void run(Player& player, const ScriptLine& line, const Words& w) {
  const std::string_view name = w[0];
  const std::string_view command = w[1];

  if (const Command* entry = findCommand(command, false)) {
    entry->run(Context{player, line, w, nullptr});
    return;
  }

  const bool isScene = name == "SCENE";
  if (!isScene && !effects.contains(name)) {
    std::printf("You need to create this effect with new or clone first! %s %s\n", w[0], w[1]);
    return;
  }
  Demoeffect* target = effects.find(name);
  const Command* entry = findCommand(command, true);
  if (entry == nullptr) return;
  if (entry->declared.enforced && w.count < entry->declared.wordsNeeded) return;
  const bool sceneList = isScene && command == "append";
  if (target == nullptr && !sceneList) {
    // Registered by "new" with an unknown type, or "SCENE" used as an effect name.
    std::printf("No effect named %s: \"%s %s\" ignored\n", w[0], w[0], w[1]);
    return;
  }
  entry->run(Context{player, line, w, sceneList ? nullptr : target});
}

}  // namespace

std::vector<CommandWord> commandWords() {
  std::vector<CommandWord> words;
  for (const Command& entry : commands) words.push_back(entry.declared);
  return words;
}

bool isEndLine(const ScriptLine& line) {
  // Cut as executeLine cuts it, from a copy.
  std::string text(line.text);
  const Words words = cutWords(text.data());
  return words.count >= 2 && std::string_view(words[1]) == "END";
}

void executeLine(Player& player, ScriptLine& line) {
  if (line.text[0] != '\0') {
    const Words words = cutWords(line.text);
    if (words.count >= 2) run(player, line, words);
  }
  line.executed = true;
}

}  // namespace glowmarch
