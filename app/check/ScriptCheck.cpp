#include "app/check/ScriptCheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <span>
#include <string_view>

#include "app/check/NearestWord.h"
#include "timeline/CommandWords.h"
#include "resources/Utf8Path.h"
#include "timeline/Script.h"

namespace glowmarch {

namespace {

struct Line {
  int number = 0;     // as an editor counts
  double time = 0.0;  // as the player reads it
  std::vector<std::string> words;  // as the writer meant them: see `meantWords`
};

bool isSeparator(char c) { return c == ' ' || c == ','; }

std::string inQuotes(std::string_view word) { return "\"" + std::string(word) + "\""; }

std::string didYouMean(std::string_view word, const std::vector<std::string_view>& known) {
  const std::string_view nearest = nearestWord(word, known);
  return nearest.empty() ? "" : ", did you mean " + inQuotes(nearest) + "?";
}

std::string withArticle(const std::string& type) {
  if (type == "particles") return "a particle field";
  return (type == "image" ? "an " : "a ") + type;
}

std::string joined(const std::vector<std::string_view>& words) {
  std::string text;
  for (std::string_view word : words) text += (text.empty() ? "" : ", ") + std::string(word);
  return text;
}

std::vector<std::string_view> wordsOf(const std::vector<LocalWord>& declared) {
  std::vector<std::string_view> words;
  for (const LocalWord& entry : declared) words.push_back(entry.word);
  return words;
}

std::vector<std::string_view> wordsOf(std::span<const NamedValue> choices) {
  std::vector<std::string_view> words;
  for (const NamedValue& choice : choices) words.push_back(choice.word);
  return words;
}

// A time stamp as a person writes it back: whole seconds when they fit, else as read.
std::string timeText(double time) {
  if (time > -1e15 && time < 1e15) return std::to_string(static_cast<long long>(time));
  char text[32];
  std::snprintf(text, sizeof text, "%g", time);
  return text;
}

class ScriptWalk {
 public:
  ScriptWalk(ResourceProbe& probe, std::vector<Finding>& findings, std::vector<NamedFile>* named)
      : probe(probe), findings(findings), named(named) {
    declaredCommands = commandWords();
    for (const CommandWord& entry : declaredCommands) commands.push_back(entry.word);
    declaredTypes = effectTypes();
    for (const EffectType& entry : declaredTypes) types.push_back(entry.word);
  }

  void read(const std::string& script);
  void walk();

 private:
  struct Object {
    std::string name;
    std::string type;  // empty for an unknown type word: the name then holds nothing
    int line = 0;
    std::vector<int> children;
    bool attached = false;  // appended somewhere, or copied by a clone or a particle field
    std::string program;
  };

  void tell(int line, std::string message) { findings.push_back({scriptPath, line, std::move(message)}); }
  void noteFile(const std::string& path, int line, bool found) {
    if (named == nullptr) return;
    for (const NamedFile& file : *named) {
      if (file.path == path) return;
    }
    named->push_back({path, line, found});
  }
  std::vector<std::string> meantWords(const std::string& text, int number);
  void checkShape(const Line& line);
  bool known(const std::string& name, int line, int& object);
  void run(const Line& line);
  void runShader(const Line& line);
  void runNew(const Line& line);
  void runLocal(const Line& line, Object& object);
  void useProgram(const Line& line, const Object& object, const std::string& program);
  void tellNeverDrawn();

  ResourceProbe& probe;
  std::vector<Finding>& findings;
  std::vector<NamedFile>* named;
  std::vector<CommandWord> declaredCommands;
  std::vector<std::string_view> commands;
  std::vector<EffectType> declaredTypes;
  std::vector<std::string_view> types;

  std::vector<Line> lines;  // in the order they run
  std::map<std::string, int, std::less<>> firstMade;     // name: first line that makes it
  std::map<std::string, int, std::less<>> firstDefined;  // program: first line that defines it
  std::vector<Object> objects;
  std::map<std::string, int, std::less<>> names;  // name: object, -1 when it holds nothing
  struct Program {
    bool linked = false;
    bool hasPosition = false;
  };
  std::map<std::string, Program, std::less<>> programs;
  bool fontLooked = false;
};

// The words of a line as the player cuts them (at spaces and commas, after the time stamp), but as
// the writer meant them where the player would read them otherwise: indentation and a decimal comma
// in the time stamp skipped, tabs taken as separators (except inside a "local" value), empty words
// dropped. Each of those is told here, so what follows is checked once, not as a cascade.
std::vector<std::string> ScriptWalk::meantWords(const std::string& text, int number) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  if (pos > 0) {
    tell(number, "the line is indented before its time stamp: the player takes the time stamp for the name and "
                 "does nothing with the line; start the line with its time stamp");
  }
  double time = 0.0;
  int used = 0;
  std::sscanf(text.c_str() + pos, "%lf%n", &time, &used);
  pos += static_cast<std::size_t>(used);
  if (pos + 1 < text.size() && text[pos] == ',' && std::isdigit(static_cast<unsigned char>(text[pos + 1]))) {
    std::size_t end = pos + 1;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    const std::string stamp = text.substr(0, end).substr(text.find_first_not_of(" \t"));
    std::string dotted = stamp;
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    tell(number, "the time stamp " + inQuotes(stamp) + " has a decimal comma: the player reads the time up to the "
                 "comma and the rest as the name; write " + dotted);
    pos = end;
  }
  // The player's words begin after the first separator.
  while (pos < text.size() && !isSeparator(text[pos]) && text[pos] != '\t') ++pos;
  bool tab = pos < text.size() && text[pos] == '\t';

  std::vector<std::string> cut;
  std::size_t start = pos + 1;
  for (std::size_t i = pos + 1; i <= text.size(); ++i) {
    if (i == text.size() || isSeparator(text[i])) {
      cut.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (pos >= text.size()) cut.clear();

  std::vector<std::string> words;
  bool empty = false;
  for (std::size_t i = 0; i < cut.size(); ++i) {
    const std::string& word = cut[i];
    if (word.empty()) {
      if (i + 1 < cut.size()) empty = true;
      continue;
    }
    const std::size_t tabAt = word.find('\t');
    const bool localValue = words.size() >= 2 && words[1] == "local" && word.find(';') < tabAt;
    if (tabAt == std::string::npos || localValue) {
      words.push_back(word);
      continue;
    }
    tab = true;
    std::size_t from = 0;
    for (std::size_t j = 0; j <= word.size(); ++j) {
      if (j < word.size() && word[j] != '\t') continue;
      if (j > from) words.push_back(word.substr(from, j - from));
      from = j + 1;
    }
  }
  if (tab && text.find_first_not_of(" \t") == 0) {
    tell(number, "a tab between words: the player separates words only with spaces and commas, so it reads the "
                 "words around the tab as one; use a space");
  }
  if (empty) {
    tell(number, "two separators in a row (such as a comma and a space) make an empty word: the player reads "
                 "every word after it one place later; separate words with one space or one comma");
  }
  return words;
}

void ScriptWalk::read(const std::string& script) {
  std::vector<Line> inFileOrder;
  int number = 0;
  std::size_t pos = 0;
  while (pos < script.size()) {
    std::size_t end = pos;
    while (end < script.size() && script[end] != '\n' && script[end] != '\r') ++end;
    // The player's line, as text, ends at a zero byte.
    std::string text = script.substr(pos, end - pos);
    text.resize(std::min(text.size(), text.find('\0')));
    ++number;
    pos = end + (end + 1 < script.size() && script[end] == '\r' && script[end + 1] == '\n' ? 2 : 1);

    // Kept exactly when the player keeps it.
    if (text.empty() || text[0] == '#' || text[0] == 'B') continue;
    double time = 0.0;
    if (std::sscanf(text.c_str(), "%lf", &time) != 1) {
      const std::size_t first = text.find_first_not_of(" \t");
      if (first != std::string::npos && text[first] != '#') {
        tell(number, "no time stamp at the start of the line: the player skips it; start it with a time in "
                     "seconds (or with # for a note)");
      }
      continue;
    }
    if (std::isnan(time) || time == HUGE_VAL) {
      // "nan" or "inf" at the start of a line reads as a time that never falls due; "-inf" runs at start-up.
      tell(number, "the time stamp is not a number the music reaches: this line never runs; start it with a time "
                   "in seconds");
      continue;
    }
    inFileOrder.push_back(Line{number, time, meantWords(text, number)});
  }
  // Start-up lines run first in file order, the others in the first frame after their time; lines due
  // in one frame run in file order.
  lines = inFileOrder;
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
    const bool aFirst = a.time < 0.0;
    const bool bFirst = b.time < 0.0;
    if (aFirst != bFirst) return aFirst;
    return !aFirst && a.time < b.time;
  });
  for (const Line& line : lines) {
    if (line.words.size() < 3) continue;
    if (line.words[1] == "new" || line.words[1] == "clone") firstMade.emplace(line.words[0], line.number);
    if (line.words[1] == "SHADER") firstDefined.emplace(line.words[0], line.number);
  }
}

void ScriptWalk::walk() {
  int endLine = 0;
  double endTime = 0.0;
  for (const Line& line : lines) {
    if (endLine != 0) {
      tell(line.number, "this line never runs: the END on line " + std::to_string(endLine) + " ends the show first" +
                            (line.time < 0.0 || line.time > endTime ? "" : " (in the same frame)") +
                            "; give it an earlier time or move the END later");
      continue;
    }
    run(line);
    if (line.words.size() >= 2 && line.words[1] == "END") {
      endLine = line.number;
      endTime = line.time;
    }
  }
  tellNeverDrawn();
}

// Whether `name` holds an object on this line; tells why not when it does not.
bool ScriptWalk::known(const std::string& name, int line, int& object) {
  if (auto found = names.find(name); found != names.end()) {
    object = found->second;
    return true;
  }
  if (auto later = firstMade.find(name); later != firstMade.end()) {
    tell(line, inQuotes(name) + " is used before it is made (line " + std::to_string(later->second) +
                   " makes it later): the player skips this line; make it earlier");
    return false;
  }
  std::vector<std::string_view> made;
  for (const auto& [madeName, first] : firstMade) made.push_back(madeName);
  const std::string nearest = didYouMean(name, made);
  tell(line, inQuotes(name) + " is never made with new or clone: the player skips this line" +
                 (nearest.empty() ? "; make it first, e.g. \"-1 " + name + " new demoeffect\"" : nearest));
  return false;
}

void ScriptWalk::run(const Line& line) {
  const std::vector<std::string>& w = line.words;
  if (w.size() < 2) {
    if (w.size() == 1 && w[0] == "END") {
      tell(line.number, "END needs a name in front of it, as every command does: write e.g. \"" +
                            timeText(line.time) + " show END\"");
    } else {
      tell(line.number, "a line needs a name and a command after its time stamp: the player does nothing with it");
    }
    return;
  }
  const std::string& name = w[0];
  const std::string& command = w[1];
  const auto declared = std::find_if(declaredCommands.begin(), declaredCommands.end(),
                                     [&](const CommandWord& entry) { return entry.word == command; });
  if (declared == declaredCommands.end()) {
    if (std::find(commands.begin(), commands.end(), name) != commands.end()) {
      tell(line.number, "the name is missing: " + inQuotes(name) + " stands where the name goes; write the name of "
                                                                  "the object before the command");
      return;
    }
    const std::string nearest = didYouMean(command, commands);
    tell(line.number, "unknown command word " + inQuotes(command) +
                          (nearest.empty() ? ": the player does nothing with this line; the commands are " +
                                                 joined(commands)
                                           : nearest + " The player does nothing with this line"));
    return;
  }
  if (static_cast<int>(w.size()) < declared->wordsNeeded) {
    tell(line.number, inQuotes(command) + " needs " + std::string(declared->arguments) +
                          (declared->enforced ? ": with fewer the player does nothing with the line"
                                              : ": the player reads what is missing as nothing or 0"));
    return;
  }
  if (command == "SHADER") return runShader(line);
  if (command == "END") return;
  if (command == "new") return runNew(line);
  const std::string argument = w.size() > 2 ? w[2] : "";
  if (command == "clone") {
    int source = -1;
    if (!known(argument, line.number, source)) return;
    if (source < 0) {
      names[name] = -1;
      return;
    }
    objects[static_cast<std::size_t>(source)].attached = true;
    Object copy = objects[static_cast<std::size_t>(source)];
    copy.name = name;
    copy.line = line.number;
    copy.attached = false;
    names[name] = static_cast<int>(objects.size());
    objects.push_back(copy);
    return;
  }

  if (name == "SCENE" && names.find(name) == names.end()) {
    if (command != "append") {
      tell(line.number, "SCENE takes only append (it is the list of what is drawn): the player does nothing with "
                        "this line");
      return;
    }
    int child = -1;
    if (known(argument, line.number, child) && child >= 0) objects[static_cast<std::size_t>(child)].attached = true;
    return;
  }
  int target = -1;
  // A name that holds nothing (an unknown type) was told where it was made.
  if (!known(name, line.number, target) || target < 0) return;
  if (command == "append" || command == "remove") {
    int child = -1;
    if (!known(argument, line.number, child) || child < 0 || command == "remove") return;
    objects[static_cast<std::size_t>(child)].attached = true;
    objects[static_cast<std::size_t>(target)].children.push_back(child);
  } else if (command == "shader") {
    Object& object = objects[static_cast<std::size_t>(target)];
    object.program = argument;
    useProgram(line, object, argument);
  } else if (command == "texture") {
    const ResourceProbe::PictureResult& picture = probe.picture(argument);
    const bool found = picture.state != ResourceProbe::PictureState::missing;
    noteFile(found ? picture.path : argument, line.number, found);
    if (picture.state == ResourceProbe::PictureState::missing) {
      std::vector<std::string_view> pictures;
      std::vector<std::string> files;
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator("data/textures", error)) {
        files.push_back(nativeUtf8(entry.path().filename()));
      }
      for (const std::string& file : files) pictures.push_back(file);
      tell(line.number, "no picture " + inQuotes(argument) + ": the player looked for " + argument + " and " +
                            picture.path + didYouMean(argument, pictures));
    } else if (picture.state == ResourceProbe::PictureState::notPng) {
      tell(line.number, picture.path + " is not a PNG the player reads (decoder error " +
                            std::to_string(picture.error) + "): save it as PNG");
    }
  } else if (command == "local") {
    runLocal(line, objects[static_cast<std::size_t>(target)]);
  }
}

void ScriptWalk::runShader(const Line& line) {
  const std::vector<std::string>& w = line.words;
  std::vector<std::string> sources;
  bool stagesFine = true;
  for (std::size_t i = 2; i < 5 && i < w.size(); ++i) {
    sources.push_back(w[i]);
    const ResourceProbe::SourceState state = probe.source(w[i]);
    // A name without a stage is never opened.
    if (state != ResourceProbe::SourceState::noStage) {
      noteFile("data/shaders/" + w[i], line.number, state != ResourceProbe::SourceState::missing);
    }
    switch (state) {
      case ResourceProbe::SourceState::compiled:
        break;
      case ResourceProbe::SourceState::failed:
        stagesFine = false;
        break;
      case ResourceProbe::SourceState::missing:
        tell(line.number, "shader source " + inQuotes(w[i]) + " not found: the player looks for data/shaders/" + w[i]);
        stagesFine = false;
        break;
      case ResourceProbe::SourceState::noStage:
        tell(line.number, "shader source " + inQuotes(w[i]) + " has none of .vert, .frag, .geom in its name, so the "
                                                           "player leaves it out; name it for its stage");
        stagesFine = false;
        break;
    }
  }
  const ResourceProbe::ProgramResult result = probe.link(sources);
  if (!result.linked && stagesFine) {
    tell(line.number, "program " + inQuotes(w[0]) + " does not link" + (result.log.empty() ? "" : ": " + result.log) +
                          "; objects given it are drawn wrongly or not at all");
  }
  programs[w[0]] = Program{result.linked, result.hasPosition};
}

void ScriptWalk::runNew(const Line& line) {
  const std::string& name = line.words[0];
  const std::string type = line.words.size() > 2 ? line.words[2] : "";
  Object object{name, type, line.number, {}, false, ""};
  if (std::find(types.begin(), types.end(), type) == types.end()) {
    const std::string nearest = didYouMean(type, types);
    const std::string outcome =
        "the name " + inQuotes(name) + " holds nothing and the player skips every line for it";
    tell(line.number, "unknown type " + inQuotes(type) +
                          (nearest.empty() ? ": " + outcome + "; the types are " + joined(types)
                                           : nearest + " As written " + outcome));
    names[name] = -1;
    return;
  }
  if (type == "sphere") {
    // A sphere describes its mesh to "main" when it is made; a program given later draws it without.
    object.program = "main";
    if (programs.find("main") == programs.end()) {
      tell(line.number, "a sphere takes the program \"main\" when it is made, and no \"main\" is defined before "
                        "this line, so its mesh is never described to a program; define main with SHADER first");
    } else {
      useProgram(line, object, "main");
    }
  }
  if (type == "text" && !fontLooked) {
    fontLooked = true;
    const ResourceProbe::PictureResult& font = probe.picture("profont.png");
    // Without its font a text still draws, as blocks: only a font that is there is needed.
    if (font.state != ResourceProbe::PictureState::missing) noteFile(font.path, line.number, true);
    if (font.state == ResourceProbe::PictureState::missing) {
      tell(line.number, "text draws with the font data/textures/profont.png, which is missing: the letters show "
                        "as plain blocks; put the font picture there");
    } else if (font.state == ResourceProbe::PictureState::notPng) {
      tell(line.number, font.path + " (the font of text) is not a PNG the player reads (decoder error " +
                            std::to_string(font.error) + ")");
    }
  }
  names[name] = static_cast<int>(objects.size());
  objects.push_back(object);
}

// A mesh reads its vertices through "in_position"; text and images draw without it.
void ScriptWalk::useProgram(const Line& line, const Object& object, const std::string& program) {
  auto found = programs.find(program);
  if (found == programs.end()) {
    std::vector<std::string_view> defined;
    for (const auto& [programName, state] : programs) defined.push_back(programName);
    auto later = firstDefined.find(program);
    tell(line.number, later != firstDefined.end()
                          ? "program " + inQuotes(program) + " is defined only later (line " +
                                std::to_string(later->second) + "): the object gets no program; define it earlier"
                          : "no program " + inQuotes(program) + " is defined with SHADER" +
                                (didYouMean(program, defined).empty()
                                     ? ": the object gets no program"
                                     : didYouMean(program, defined) + " The object gets no program"));
    return;
  }
  if ((object.type == "model" || object.type == "sphere") && found->second.linked && !found->second.hasPosition) {
    tell(line.number, "program " + inQuotes(program) + " has no \"in_position\" input in its vertex stage, so the " +
                          object.type + " " + inQuotes(object.name) + " gets no vertices and stays invisible; name "
                                                                     "the vertex position input in_position");
  }
}

void ScriptWalk::runLocal(const Line& line, Object& object) {
  const std::string text = line.words.size() > 2 ? line.words[2] : "";
  const std::size_t semicolon = text.find(';');
  const auto type = std::find_if(declaredTypes.begin(), declaredTypes.end(),
                                 [&](const EffectType& entry) { return entry.word == object.type; });
  const std::vector<LocalWord> none;
  const std::vector<LocalWord>& declared = type == declaredTypes.end() ? none : type->localWords;
  const std::vector<std::string_view> words = wordsOf(declared);
  if (words.empty()) {
    tell(line.number, withArticle(object.type) + " takes no local parameters: the player does nothing with this line");
    return;
  }
  if (semicolon == std::string::npos) {
    tell(line.number, "local needs a word, a \";\" and a value (" + std::string(words.front()) +
                          ";...): without \";\" the player does nothing with this line");
    return;
  }
  const std::string word = text.substr(0, semicolon);
  std::string value = text.substr(semicolon + 1);
  value = value.substr(0, value.find(';'));
  const auto parameter =
      std::find_if(declared.begin(), declared.end(), [&](const LocalWord& entry) { return entry.word == word; });
  if (parameter == declared.end()) {
    const std::string nearest = didYouMean(word, words);
    tell(line.number, inQuotes(word) + " is not a parameter of " + withArticle(object.type) +
                          (nearest.empty() ? ": it takes " : nearest + " It takes ") + joined(words));
    return;
  }
  switch (parameter->value) {
    case LocalValue::objPath: {
      if (object.program.empty()) {
        tell(line.number, object.type + " " + inQuotes(object.name) + " loads its mesh before it has a program, so "
                                         "its vertices are never described; give it a shader before " + word);
      }
      const ResourceProbe::MeshState mesh = probe.mesh(value);
      noteFile(value, line.number, mesh != ResourceProbe::MeshState::missing);
      if (mesh == ResourceProbe::MeshState::missing) {
        tell(line.number, "cannot open the OBJ file " + inQuotes(value) +
                              ": the model stays empty; paths are relative to the show's folder, e.g. "
                              "data/meshes/cube.obj");
      } else if (mesh == ResourceProbe::MeshState::noFaces) {
        tell(line.number, "the OBJ file " + inQuotes(value) + " yields no faces (f lines with three corners whose "
                                                            "indices exist): the model stays empty");
      }
      break;
    }
    case LocalValue::effectName: {
      int source = -1;
      if (known(value, line.number, source) && source >= 0) objects[static_cast<std::size_t>(source)].attached = true;
      break;
    }
    case LocalValue::choice:
      if (!choiceValue(parameter->choices, value)) {
        const std::vector<std::string_view> choices = wordsOf(parameter->choices);
        const std::string meaning(parameter->meaning);
        const std::string nearest = didYouMean(value, choices);
        tell(line.number, inQuotes(value) + " is not a " + meaning + (nearest.empty() ? ": t" : nearest + " T") +
                              "he player keeps the " + meaning + " it had; the choices are " + joined(choices));
      }
      break;
    case LocalValue::number:
    case LocalValue::integer:
    case LocalValue::text:
      break;
  }
}

// Only the top of an unattached branch is told: what hangs below it shows once it is attached.
void ScriptWalk::tellNeverDrawn() {
  std::string camera;
  for (const Object& object : objects) {
    if (object.type == "camera" && object.attached) {
      camera = object.name;
      break;
    }
  }
  for (const Object& object : objects) {
    if (object.attached || object.type.empty()) continue;
    tell(object.line, inQuotes(object.name) + " is made but never drawn: append it to SCENE or to an object that is "
                                            "drawn, e.g. \"" + (camera.empty() ? "SCENE" : camera) + " append " +
                          object.name + "\"");
  }
}

}  // namespace

void checkScript(const std::string& script, ResourceProbe& probe, std::vector<Finding>& findings,
                 std::vector<NamedFile>* named) {
  ScriptWalk walk(probe, findings, named);
  walk.read(script);
  walk.walk();
}

}  // namespace glowmarch
