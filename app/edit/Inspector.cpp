#include "app/edit/Inspector.h"

#include <imgui.h>

#include <algorithm>

#include "app/edit/Overlay.h"
#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "timeline/Script.h"

namespace glowmarch {

namespace {

constexpr float leastWidth = 220.0f;
constexpr float indentStep = 14.0f;
const ImVec4 drawnColour(0.92f, 0.92f, 0.92f, 1.0f);
const ImVec4 hiddenColour(0.55f, 0.55f, 0.6f, 1.0f);
const ImVec4 warningColour(1.0f, 0.65f, 0.3f, 1.0f);
const ImVec4 ranColour(0.45f, 1.0f, 0.55f, 1.0f);
const ImVec4 headColour(0.6f, 0.8f, 1.0f, 1.0f);

// By Hidden's values; the whole reason is shown for the chosen object.
constexpr const char* shortReasons[] = {"", "timer ahead", "no mesh", "empty text", "no init"};

const std::vector<Demoeffect*>& sceneOf(const OverlayView& view) {
  static const std::vector<Demoeffect*> none;
  return view.scene != nullptr ? *view.scene : none;
}

}  // namespace

float Inspector::widthIn(float windowWidth) const {
  const float wanted = width > 0.0f ? width : std::clamp(windowWidth * 0.25f, leastWidth, 380.0f);
  return std::clamp(wanted, leastWidth, std::max(leastWidth, windowWidth * 0.4f));
}

std::optional<std::uint64_t> Inspector::draw(const OverlayView& view) {
  std::optional<std::uint64_t> seek;
  const std::vector<Demoeffect*>& scene = sceneOf(view);
  const NameIndex names = indexNames(effects);
  // The time the objects were last drawn at: what decides whether they were.
  const double now = musicTime;
  const std::vector<SceneRow> rows = sceneRows(scene, now, [&](const SceneRow& row, const Demoeffect* parent) {
    const auto found = openByHand.find(row.path);
    return found != openByHand.end() ? found->second : openByDefault(row, parent);
  });

  ImGui::TextColored(headColour, "SCENE");
  ImGui::SameLine();
  ImGui::TextDisabled("as drawn at %.3f s (I hides)", now);
  ImGui::BeginChild("tree", ImVec2(0.0f, ImGui::GetContentRegionAvail().y * 0.55f), false,
                    ImGuiWindowFlags_HorizontalScrollbar);
  // Only the rows in sight are laid out and labelled: an opened field of 10,000 particles is a screenful.
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(rows.size()));
  while (clipper.Step()) {
    for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
      const SceneRow& row = rows[static_cast<std::size_t>(i)];
      const std::vector<std::uint32_t> places = rowPlaces(rows, static_cast<std::size_t>(i));
      const bool chosen = chosenName.empty() && places == chosenPlaces;
      ImGuiTreeNodeFlags flags = ImGuiTreeNodeFlags_OpenOnArrow | ImGuiTreeNodeFlags_SpanAvailWidth |
                                 ImGuiTreeNodeFlags_NoTreePushOnOpen;
      if (row.effect->children.empty() || row.cycle) flags |= ImGuiTreeNodeFlags_Leaf;
      if (chosen) flags |= ImGuiTreeNodeFlags_Selected;
      std::string text = std::string(classWord(*row.effect)) + "  " + rowLabel(rows, static_cast<std::size_t>(i), names);
      if (row.cycle) {
        text += "  (above itself: not followed)";
      } else if (row.hidden != Hidden::no) {
        text += std::string("  (") + shortReasons[static_cast<int>(row.hidden)] + ")";
      } else if (!row.open && row.effect->children.size() > 1) {
        const bool field = classWord(*row.effect) == "particles";
        text += "  " + std::to_string(row.effect->children.size()) + (field ? " particles" : " children");
      }
      const float indent = static_cast<float>(row.depth) * indentStep;
      if (indent > 0.0f) ImGui::Indent(indent);
      ImGui::PushID(static_cast<int>(row.path ^ (row.path >> 32)));
      ImGui::PushStyleColor(ImGuiCol_Text, row.cycle ? warningColour : (row.drawn ? drawnColour : hiddenColour));
      ImGui::SetNextItemOpen(row.open, ImGuiCond_Always);
      const bool nowOpen = ImGui::TreeNodeEx("##row", flags, "%s", text.c_str());
      ImGui::PopStyleColor();
      if (ImGui::IsItemToggledOpen()) {
        openByHand[row.path] = nowOpen;
      } else if (ImGui::IsItemClicked()) {
        chosenPlaces = places;
        chosenName.clear();
      }
      ImGui::PopID();
      if (indent > 0.0f) ImGui::Unindent(indent);
    }
  }
  // The unreached are found only while the list is open: it walks everything drawing reaches.
  if (ImGui::TreeNode("not in the scene")) {
    for (std::string_view name : namesNotInScene(scene, names)) {
      const std::string label(name);
      if (ImGui::Selectable(label.c_str(), chosenName == label)) chosenName = label;
    }
    ImGui::TreePop();
  }
  ImGui::EndChild();
  ImGui::Separator();
  drawChosen(view, names, seek);
  return seek;
}

void Inspector::drawChosen(const OverlayView& view, const NameIndex& names, std::optional<std::uint64_t>& seek) {
  ImGui::BeginChild("chosen", ImVec2(0.0f, 0.0f), false, ImGuiWindowFlags_HorizontalScrollbar);
  const double now = musicTime;
  const Demoeffect* effect = nullptr;
  std::string label;
  std::string why;
  if (!chosenName.empty()) {
    effect = effects.find(chosenName);
    label = chosenName;
    why = "not in the scene: no SCENE append reaches it";
  } else {
    const std::vector<SceneRow> along = rowsAlong(sceneOf(view), chosenPlaces, now);
    if (!along.empty()) {
      effect = along.back().effect;
      label = rowLabel(along, along.size() - 1, names);
      why = notDrawnText(along, along.size() - 1, now, names);
    }
  }
  if (effect == nullptr) {
    ImGui::TextDisabled("Click an object for its values and the lines that name it.");
    ImGui::EndChild();
    return;
  }
  ImGui::TextColored(headColour, "%s  %s", std::string(classWord(*effect)).c_str(), label.c_str());
  if (why.empty()) {
    ImGui::TextUnformatted("drawn");
  } else {
    // The child scrolls sideways, so the wrap is placed at its visible edge.
    ImGui::PushTextWrapPos(ImGui::GetWindowContentRegionMax().x);
    ImGui::TextColored(warningColour, "not drawn: %s", why.c_str());
    ImGui::PopTextWrapPos();
  }
  if (ImGui::BeginTable("values", 2, ImGuiTableFlags_SizingFixedFit)) {
    for (const SceneValue& value : describe(*effect)) {
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      ImGui::TextDisabled("%.*s", static_cast<int>(value.word.size()), value.word.data());
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(value.text.c_str());
    }
    ImGui::EndTable();
  }
  ImGui::Spacing();
  const auto found = names.find(effect);
  if (found == names.end() || view.lines == nullptr) {
    ImGui::TextDisabled("No name: no script line names it.");
    ImGui::EndChild();
    return;
  }
  ImGui::TextColored(headColour, "lines naming it");
  ImGui::SameLine();
  ImGui::TextDisabled("(a click goes to the frame it has run in; Ctrl+Left, Ctrl+Right: to the beat before, after)");
  const std::vector<TimelineLine>& lines = *view.lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lineNames(lines[i].text, found->second)) continue;
    const bool ran = view.scriptLines != nullptr && i < view.scriptLines->size() && (*view.scriptLines)[i].executed;
    ImGui::PushID(static_cast<int>(i));
    ImGui::PushStyleColor(ImGuiCol_Text, ran ? ranColour : drawnColour);
    const std::string text = (ran ? "ran   " : "      ") + std::string("line ") + std::to_string(lines[i].fileLine) +
                             "  " + lines[i].text;
    if (ImGui::Selectable(text.c_str(), lineChosen == lines[i].fileLine)) {
      seek = firstFrameAfter(lines[i].time);
      lineChosen = lines[i].fileLine;
    }
    ImGui::PopStyleColor();
    ImGui::PopID();
  }
  ImGui::EndChild();
}

}  // namespace glowmarch
