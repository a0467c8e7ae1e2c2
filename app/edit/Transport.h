// The edit mode's transport in plain values: the keys it answers, the 1/60 s grid every seek lands
// on, and the loop span.
#pragma once

#include <cstdint>
#include <optional>

namespace glowmarch {

// Frames per second of the grid: the capture's default rate, so a paused frame is a captured one.
inline constexpr int editFps = 60;

enum class EditKey {
  none,
  pause,        // Space
  back,         // Left: 1 s
  forward,      // Right: 1 s
  backFar,      // Shift+Left: 10 s
  forwardFar,   // Shift+Right: 10 s
  home,         // Home
  loopStart,    // [
  loopEnd,      // ]
  loopToggle,   // L
  stepBack,     // ,
  stepForward,  // .
  overlay,      // Tab
  reload,       // F6
  restart,      // F5
  fullscreen,   // F1
  previousBeat,  // Page Up
  nextBeat,      // Page Down
  copyTime,      // C
  inspector,     // I
  writeBeats,    // B: the beat grid to data/music/beats.txt
  undo,          // Ctrl+Z: the last move of lines in time
  redo,          // Ctrl+Shift+Z, Ctrl+Y
  lineEarlier,   // Ctrl+Left: the inspector's line to the beat before
  lineLater,     // Ctrl+Right: to the beat after
};

// The command of a key given by its virtual-key code (app/KeyTable.h).
EditKey editKeyFor(int virtualKeyCode, bool shift, bool control = false);

// The grid frame nearest to a music time; times before 0 (and NaN) give frame 0.
std::uint64_t frameNearest(double seconds);

// Where a seek key leads from `frame`, never before 0 and, when the show's length is known, never
// past its last frame. nullopt for keys that do not seek.
std::optional<std::uint64_t> seekTarget(EditKey key, std::uint64_t frame, std::optional<std::uint64_t> lastFrame);

struct LoopSpan {
  std::uint64_t start = 0;
  std::optional<std::uint64_t> end;
  bool on = false;

  // Looping only means something over a span that has a length.
  bool active() const { return on && end && *end > start; }
  // The start to go back to once play has reached the end.
  std::optional<std::uint64_t> wrap(double musicSeconds) const;
};

}  // namespace glowmarch
