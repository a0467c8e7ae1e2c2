#include "app/edit/PlayState.h"

#include <algorithm>

#include "app/edit/BeatGrid.h"

namespace glowmarch {

std::uint64_t PlayState::frame(double heard) const {
  if (onGrid()) return gridFrame;
  return frameNearest(isPaused ? heldSeconds : heard);
}

double PlayState::seconds(double shown) const {
  if (!isPaused) return shown;
  return grid ? static_cast<double>(gridFrame) / editFps : heldSeconds;
}

void PlayState::stopAtEnd(bool byEnd, double length) {
  stopped = true;
  endAt = byEnd ? heldSeconds : 0.0;
  if (!byEnd && !grid) heldSeconds = std::min(heldSeconds, length);
}

void PlayState::endedOnGrid(std::uint64_t frame) {
  pausedOnGrid(frame);
  stopped = true;
  endAt = static_cast<double>(frame) / editFps;
}

EditAction PlayState::answer(EditKey key, double heard, std::optional<std::uint64_t> lastFrame,
                             const std::vector<double>& beats) {
  using Kind = EditAction::Kind;
  const std::uint64_t here = frame(heard);
  switch (key) {
    case EditKey::none:
      return {};
    case EditKey::pause:
      if (!isPaused) return {Kind::pause};
      return {stopped ? Kind::refused : Kind::resume};
    case EditKey::stepBack:
    case EditKey::stepForward:
      if (!isPaused) return {};
      // One frame on from a grid frame is the capture's next frame: drawn on, not built.
      if (key == EditKey::stepForward && grid) return {Kind::nextFrame, gridFrame + 1};
      return {Kind::seek, *seekTarget(key, here, std::nullopt)};
    case EditKey::loopStart:
      loop.start = here;
      if (loop.end && *loop.end <= loop.start) loop.end.reset();
      return {};
    case EditKey::loopEnd:
      if (here > loop.start) loop.end = here;
      return {};
    case EditKey::loopToggle:
      loop.on = !loop.on;
      return {};
    case EditKey::previousBeat:
    case EditKey::nextBeat: {
      const double now = seconds(heard);
      const auto beat = key == EditKey::previousBeat ? previousBeat(beats, now) : nextBeat(beats, now);
      // Not past the show's end (its END): the beats go on to the music's end.
      if (!beat || (lastFrame && frameNearest(*beat) > *lastFrame)) return {};
      return {Kind::seek, frameNearest(*beat)};
    }
    default:
      if (const auto target = seekTarget(key, here, lastFrame)) return {Kind::seek, *target};
      return {Kind::other};
  }
}

}  // namespace glowmarch
