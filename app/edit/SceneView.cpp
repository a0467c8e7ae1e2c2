#include "app/edit/SceneView.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "effects/Camera.h"
#include "effects/EffectRegistry.h"
#include "effects/Image.h"
#include "effects/Model.h"
#include "effects/Particles.h"
#include "effects/Sphere.h"
#include "effects/Text.h"
#include "resources/ShaderLibrary.h"
#include "resources/TextureLibrary.h"

namespace glowmarch {

namespace {

// More children than a person reads at a glance; such an object is listed closed.
constexpr std::size_t manyChildren = 64;

std::uint64_t mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

std::string format(const char* pattern, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

std::string triple(const float* v) { return format("%.3f, %.3f, %.3f", v[0], v[1], v[2]); }

bool zero(const float* v) { return v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f; }

std::string named(std::string_view name, unsigned id) {
  if (id == 0) return "none";
  // A name since replaced still draws with what it was given.
  if (name.empty()) return format("%u (no longer registered)", id);
  return std::string(name);
}

// The word a `choice` parameter of the field is set with.
std::string choiceWord(std::string_view parameter, std::int32_t value) {
  for (const LocalWord& word : Particles::localWords()) {
    if (word.word != parameter) continue;
    for (const NamedValue& choice : word.choices) {
      if (choice.value == value) return std::string(choice.word);
    }
  }
  return format("%d", value);
}

SceneRow rowBelow(const std::vector<SceneRow>& rows, std::size_t parent, const Demoeffect* effect,
                  std::uint32_t index, double musicTime) {
  SceneRow row;
  row.effect = effect;
  row.parent = parent;
  row.index = index;
  const bool topLevel = parent == SceneRow::top;
  row.depth = topLevel ? 0 : rows[parent].depth + 1;
  row.path = mix((topLevel ? 0 : rows[parent].path) * 31 + index + 1);
  row.hidden = hiddenBy(*effect, musicTime);
  row.drawn = (topLevel || rows[parent].drawn) && row.hidden == Hidden::no;
  return row;
}

}  // namespace

Hidden hiddenBy(const Demoeffect& effect, double musicTime) {
  if (const auto* sphere = dynamic_cast<const Sphere*>(&effect)) {
    return sphere->timer > musicTime ? Hidden::timerAhead : Hidden::no;
  }
  if (const auto* model = dynamic_cast<const Model*>(&effect)) return model->loaded ? Hidden::no : Hidden::noMesh;
  if (const auto* text = dynamic_cast<const Text*>(&effect)) return text->text.empty() ? Hidden::emptyText : Hidden::no;
  if (const auto* field = dynamic_cast<const Particles*>(&effect)) {
    return field->initialised ? Hidden::no : Hidden::noInit;
  }
  return Hidden::no;
}

std::string_view classWord(const Demoeffect& effect) {
  if (dynamic_cast<const Camera*>(&effect) != nullptr) return "camera";
  if (dynamic_cast<const Model*>(&effect) != nullptr) return "model";
  if (dynamic_cast<const Sphere*>(&effect) != nullptr) return "sphere";
  if (dynamic_cast<const Text*>(&effect) != nullptr) return "text";
  if (dynamic_cast<const Particles*>(&effect) != nullptr) return "particles";
  if (dynamic_cast<const Image*>(&effect) != nullptr) return "image";
  return "demoeffect";
}

NameIndex indexNames(const EffectRegistry& registry) {
  NameIndex names;
  for (const auto& [name, effect] : registry.names()) {
    if (effect != nullptr) names[effect].push_back(name);
  }
  return names;
}

bool openByDefault(const SceneRow& row, const Demoeffect* parent) {
  if (dynamic_cast<const Particles*>(row.effect) != nullptr) return false;
  if (parent != nullptr && dynamic_cast<const Particles*>(parent) != nullptr) return false;
  return row.effect->children.size() <= manyChildren;
}

std::vector<SceneRow> sceneRows(const std::vector<Demoeffect*>& scene, double musicTime, const OpenRow& open) {
  std::vector<SceneRow> rows;
  // Depth-first without recursion, so a long chain of children cannot exhaust the stack.
  struct Pending {
    const Demoeffect* effect;
    std::size_t parent;
    std::uint32_t index;
  };
  std::vector<Pending> pending;
  for (std::size_t i = scene.size(); i-- > 0;) pending.push_back({scene[i], SceneRow::top, static_cast<std::uint32_t>(i)});
  std::vector<const Demoeffect*> way;  // the objects from the top to the row being made
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    if (next.effect == nullptr) continue;
    SceneRow row = rowBelow(rows, next.parent, next.effect, next.index, musicTime);
    const bool topLevel = next.parent == SceneRow::top;
    way.resize(static_cast<std::size_t>(row.depth));
    row.cycle = std::find(way.begin(), way.end(), next.effect) != way.end();
    way.push_back(next.effect);
    row.open = !row.cycle && !next.effect->children.empty() && open(row, topLevel ? nullptr : rows[next.parent].effect);
    rows.push_back(row);
    if (!row.open) continue;
    const auto& children = next.effect->children;
    for (std::size_t i = children.size(); i-- > 0;) {
      pending.push_back({children[i], rows.size() - 1, static_cast<std::uint32_t>(i)});
    }
  }
  return rows;
}

std::vector<std::uint32_t> rowPlaces(const std::vector<SceneRow>& rows, std::size_t row) {
  std::vector<std::uint32_t> places;
  for (std::size_t at = row; at < rows.size(); at = rows[at].parent) places.push_back(rows[at].index);
  std::reverse(places.begin(), places.end());
  return places;
}

std::vector<SceneRow> rowsAlong(const std::vector<Demoeffect*>& scene, const std::vector<std::uint32_t>& places,
                                double musicTime) {
  std::vector<SceneRow> rows;
  const std::vector<Demoeffect*>* list = &scene;
  for (const std::uint32_t place : places) {
    if (place >= list->size() || (*list)[place] == nullptr) return {};
    const Demoeffect* effect = (*list)[place];
    SceneRow row = rowBelow(rows, rows.empty() ? SceneRow::top : rows.size() - 1, effect, place, musicTime);
    row.cycle = std::any_of(rows.begin(), rows.end(), [&](const SceneRow& above) { return above.effect == effect; });
    row.open = true;
    rows.push_back(row);
    list = &effect->children;
  }
  return rows;
}

std::vector<std::string_view> namesNotInScene(const std::vector<Demoeffect*>& scene, const NameIndex& names) {
  std::unordered_set<const Demoeffect*> reached;
  std::vector<const Demoeffect*> pending(scene.begin(), scene.end());
  while (!pending.empty()) {
    const Demoeffect* effect = pending.back();
    pending.pop_back();
    if (effect == nullptr || !reached.insert(effect).second) continue;
    pending.insert(pending.end(), effect->children.begin(), effect->children.end());
  }
  std::vector<std::string_view> unreached;
  for (const auto& [effect, effectNames] : names) {
    if (!reached.contains(effect)) unreached.insert(unreached.end(), effectNames.begin(), effectNames.end());
  }
  std::sort(unreached.begin(), unreached.end());
  return unreached;
}

std::string rowLabel(const std::vector<SceneRow>& rows, std::size_t row, const NameIndex& names) {
  const SceneRow& at = rows[row];
  if (const auto found = names.find(at.effect); found != names.end()) {
    std::string label;
    for (std::string_view name : found->second) {
      if (!label.empty()) label += ", ";
      label += name;
    }
    return label;
  }
  if (at.parent != SceneRow::top && dynamic_cast<const Particles*>(rows[at.parent].effect) != nullptr) {
    return format("particle %u", at.index + 1);
  }
  return "no name";
}

std::string hiddenText(Hidden hidden, const Demoeffect& effect, double musicTime) {
  switch (hidden) {
    case Hidden::timerAhead: return format("timer %.3f s is ahead of the music (%.3f s)", effect.timer, musicTime);
    case Hidden::noMesh: return "no mesh loaded (local loadobj)";
    case Hidden::emptyText: return "its text is empty";
    case Hidden::noInit: return "no local init yet";
    case Hidden::no: break;
  }
  return {};
}

std::string notDrawnText(const std::vector<SceneRow>& rows, std::size_t row, double musicTime,
                         const NameIndex& names) {
  const SceneRow& at = rows[row];
  if (at.drawn) return {};
  if (at.hidden != Hidden::no) return hiddenText(at.hidden, *at.effect, musicTime);
  return rowLabel(rows, at.parent, names) + " above it is not drawn";
}

std::vector<SceneValue> describe(const Demoeffect& effect) {
  std::vector<SceneValue> values;
  const Transform& t = effect.transform;
  values.push_back({"point", triple(t.point)});
  values.push_back({"direction", triple(t.direction)});
  if (!zero(t.deltaPoint)) values.push_back({"deltapoint", triple(t.deltaPoint)});
  if (!zero(t.deltaDirection)) values.push_back({"deltadirection", triple(t.deltaDirection)});
  if (t.motionFlags & Transform::moving) {
    values.push_back({"movepoint", triple(t.moveTo) + format(" from %.3f s to %.3f s", t.moveStart, t.moveEnd)});
  }
  if (t.motionFlags & Transform::rotating) {
    values.push_back(
        {"rotatepoint", triple(t.rotateTo) + format(" from %.3f s to %.3f s", t.rotateStart, t.rotateEnd)});
  }
  values.push_back({"scale", format("%g", effect.scale)});
  if (effect.scaleX != 1.0 || effect.scaleY != 1.0 || effect.scaleZ != 1.0) {
    values.push_back({"scalex, scaley, scalez", format("%g, %g, %g", effect.scaleX, effect.scaleY, effect.scaleZ)});
  }
  values.push_back({"colour", format("%u, %u, %u, %u", effect.color[0], effect.color[1], effect.color[2], effect.color[3])});
  values.push_back({"state", format("%d", effect.state)});
  values.push_back({"timer", format("%.3f s", effect.timer)});
  values.push_back({"shader", named(shaderProgramName(effect.shader), effect.shader)});
  values.push_back({"texture", named(textureName(effect.texture), effect.texture)});
  if (const auto* text = dynamic_cast<const Text*>(&effect)) values.push_back({"text", '"' + text->text + '"'});
  if (const auto* model = dynamic_cast<const Model*>(&effect)) {
    values.push_back({"loadobj", model->loaded ? format("%zu triangles", model->indexList().size() / 3) : "none"});
  }
  if (const auto* image = dynamic_cast<const Image*>(&effect)) values.push_back({"aspect", format("%g", image->aspect)});
  if (const auto* field = dynamic_cast<const Particles*>(&effect)) {
    values.push_back({"init", field->initialised ? format("%zu particles", field->children.size()) : "not yet"});
    values.push_back({"type", choiceWord("type", field->type)});
    values.push_back({"anim", choiceWord("anim", field->anim)});
    values.push_back({"x, y", format("%d, %d", field->countX, field->countY)});
    values.push_back({"padx, pady", format("%g, %g", field->padX, field->padY)});
  }
  return values;
}

bool lineNames(std::string_view line, const std::vector<std::string_view>& names) {
  if (names.empty()) return false;
  std::size_t at = line.find_first_of(" ,");  // past the time stamp
  while (at < line.size()) {
    const std::size_t begin = at + 1;
    const std::size_t end = std::min(line.find_first_of(" ,;", begin), line.size());
    const std::string_view word = line.substr(begin, end - begin);
    if (!word.empty() && std::find(names.begin(), names.end(), word) != names.end()) return true;
    at = end;
  }
  return false;
}

}  // namespace glowmarch
