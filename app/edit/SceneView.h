// The inspector's reading of a show: the scene as drawing visits it, each object's class, names and
// values at the current frame, whether it is drawn and why not, and the script lines that name it.
// It only reads: nothing here advances an object, changes one or touches GL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace glowmarch {

class Demoeffect;
class EffectRegistry;

// Why an object is not drawn on its own account (its parent drawn), as its class's advance() decides.
enum class Hidden { no, timerAhead, noMesh, emptyText, noInit };
Hidden hiddenBy(const Demoeffect& effect, double musicTime);

// The script's type word for the object's class: "camera", "sphere", ..., "demoeffect".
std::string_view classWord(const Demoeffect& effect);

// Each object's names in the registry, in name order. Clones and particles may have none.
using NameIndex = std::unordered_map<const Demoeffect*, std::vector<std::string_view>>;
NameIndex indexNames(const EffectRegistry& registry);

struct SceneRow {
  static constexpr std::size_t top = static_cast<std::size_t>(-1);

  const Demoeffect* effect = nullptr;
  std::size_t parent = top;  // the row of the object that draws it
  std::uint32_t index = 0;   // its place among the parent's children, or in the scene
  int depth = 0;
  std::uint64_t path = 0;    // the same object reached another way has another path
  Hidden hidden = Hidden::no;
  bool drawn = false;        // this frame: its parent is drawn and it is not hidden
  bool cycle = false;        // it contains the row that reaches it: not followed
  bool open = false;         // its children follow it
};

// A particle field and its particles list their children only when opened, as does an object with
// many children: a field of 10,000 particles is one row.
bool openByDefault(const SceneRow& row, const Demoeffect* parent);

// The scene's rows as drawing visits it: each object, then, where `open` says so, its children in
// order; a shared child under every parent that reaches it. `open` is asked with the row's parent
// (nullptr at the top).
using OpenRow = std::function<bool(const SceneRow& row, const Demoeffect* parent)>;
std::vector<SceneRow> sceneRows(const std::vector<Demoeffect*>& scene, double musicTime, const OpenRow& open);
// The rows from the scene down to the object those places lead to, every one of them open; empty
// when they lead nowhere now.
std::vector<SceneRow> rowsAlong(const std::vector<Demoeffect*>& scene, const std::vector<std::uint32_t>& places,
                                double musicTime);

// The places from the scene down to `row`, each among its parent's children.
std::vector<std::uint32_t> rowPlaces(const std::vector<SceneRow>& rows, std::size_t row);

// The registry's names whose objects drawing never reaches, in name order.
std::vector<std::string_view> namesNotInScene(const std::vector<Demoeffect*>& scene, const NameIndex& names);

// How a row is called: its names, else "particle 17" below a field, else "no name".
std::string rowLabel(const std::vector<SceneRow>& rows, std::size_t row, const NameIndex& names);
// Why a row is not drawn, in the script's words; empty when it is drawn.
std::string notDrawnText(const std::vector<SceneRow>& rows, std::size_t row, double musicTime,
                         const NameIndex& names);
std::string hiddenText(Hidden hidden, const Demoeffect& effect, double musicTime);

struct SceneValue {
  std::string_view word;  // the script's word for it
  std::string text;
};
// The object's values as they stand, labelled with the script's words.
std::vector<SceneValue> describe(const Demoeffect& effect);

// Whether a word of the line after its time stamp is one of `names`; words are cut at spaces and
// commas as the script cuts them, and at ';' so that "init;name" names its template.
bool lineNames(std::string_view line, const std::vector<std::string_view>& names);

}  // namespace glowmarch
