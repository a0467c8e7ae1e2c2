// The edit mode's inspector: a panel at the overlay's left with the scene as drawing visits it, the
// chosen object's values at this frame, whether it is drawn and why not, and the script lines that
// name it. It reads the show and never changes it: the paused picture stays the capture's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/edit/SceneView.h"

namespace glowmarch {

struct OverlayView;

class Inspector {
 public:
  bool open = false;

  // Its width in window points in a window `windowWidth` points wide.
  float widthIn(float windowWidth) const;
  void setWidth(float points) { width = points; }
  float keptWidth() const { return width; }

  // Draws the panel's content into the current window; returns the first frame in which a clicked
  // script line has run.
  std::optional<std::uint64_t> draw(const OverlayView& view);
  // The script line clicked last (its number in the file), which Ctrl+Left and Ctrl+Right move.
  std::optional<int> chosenLine() const { return lineChosen; }

 private:
  void drawChosen(const OverlayView& view, const NameIndex& names, std::optional<std::uint64_t>& seek);

  float width = 0.0f;  // 0 until known
  std::unordered_map<std::uint64_t, bool> openByHand;  // rows opened or closed by a click, by path
  std::vector<std::uint32_t> chosenPlaces;  // the chosen object where drawing reaches it
  std::string chosenName;                   // or its name, when drawing does not reach it
  std::optional<int> lineChosen;
};

}  // namespace glowmarch
