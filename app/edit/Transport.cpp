#include "app/edit/Transport.h"

#include <algorithm>
#include <cmath>

namespace glowmarch {

EditKey editKeyFor(int code, bool shift, bool control) {
  if (control) {
    switch (code) {
      case 'Z': return shift ? EditKey::redo : EditKey::undo;
      case 'Y': return EditKey::redo;
      case 0x25: return EditKey::lineEarlier;
      case 0x27: return EditKey::lineLater;
      default: break;
    }
  }
  switch (code) {
    case 0x20: return EditKey::pause;
    case 0x25: return shift ? EditKey::backFar : EditKey::back;
    case 0x27: return shift ? EditKey::forwardFar : EditKey::forward;
    case 0x24: return EditKey::home;
    case 0xDB: return EditKey::loopStart;
    case 0xDD: return EditKey::loopEnd;
    case 'L': return EditKey::loopToggle;
    case 0xBC: return EditKey::stepBack;
    case 0xBE: return EditKey::stepForward;
    case 0x09: return EditKey::overlay;
    case 0x75: return EditKey::reload;
    case 0x74: return EditKey::restart;
    case 0x70: return EditKey::fullscreen;
    case 0x21: return EditKey::previousBeat;
    case 0x22: return EditKey::nextBeat;
    case 'C': return EditKey::copyTime;
    case 'I': return EditKey::inspector;
    case 'B': return EditKey::writeBeats;
    default: return EditKey::none;
  }
}

std::uint64_t frameNearest(double seconds) {
  if (!(seconds > 0.0)) return 0;
  // Two hours is longer than any show; beyond it the conversion could overflow.
  return static_cast<std::uint64_t>(std::llround(std::min(seconds, 7200.0) * editFps));
}

std::optional<std::uint64_t> seekTarget(EditKey key, std::uint64_t frame, std::optional<std::uint64_t> lastFrame) {
  std::int64_t step = 0;
  switch (key) {
    case EditKey::back: step = -editFps; break;
    case EditKey::forward: step = editFps; break;
    case EditKey::backFar: step = -10 * editFps; break;
    case EditKey::forwardFar: step = 10 * editFps; break;
    case EditKey::stepBack: step = -1; break;
    case EditKey::stepForward: step = 1; break;
    case EditKey::home: return std::uint64_t{0};
    default: return std::nullopt;
  }
  const std::int64_t target = std::max<std::int64_t>(0, static_cast<std::int64_t>(frame) + step);
  const auto result = static_cast<std::uint64_t>(target);
  return lastFrame ? std::min(result, *lastFrame) : result;
}

std::optional<std::uint64_t> LoopSpan::wrap(double musicSeconds) const {
  if (!active()) return std::nullopt;
  if (musicSeconds * editFps < static_cast<double>(*end)) return std::nullopt;
  return start;
}

}  // namespace glowmarch
