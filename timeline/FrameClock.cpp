#include "timeline/FrameClock.h"

#include "audio/MusicStream.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

std::uint32_t frameClockMilliseconds = 0;
std::uint32_t readFrameClock() { return frameClockMilliseconds; }

}  // namespace

double frameSeconds(std::uint64_t frame, int fps) { return static_cast<double>(frame) / fps; }

std::uint32_t frameMilliseconds(std::uint64_t frame, int fps) {
  // Rounded to the nearest tick in whole numbers; the clock wraps as the player's clock does.
  const std::uint64_t twice = static_cast<std::uint64_t>(fps) * 2;
  return static_cast<std::uint32_t>((frame * 2000 + static_cast<std::uint64_t>(fps)) / twice);
}

FrameClock::FrameClock() : former(platform()) {
  frameClockMilliseconds = 0;
  Platform hooks = former;
  hooks.milliseconds = readFrameClock;
  setPlatform(hooks);
}

FrameClock::~FrameClock() { setPlatform(former); }

void FrameClock::set(Player& player, std::uint64_t frame, int fps) {
  frameClockMilliseconds = frameMilliseconds(frame, fps);
  if (auto* stream = dynamic_cast<audio::ManualStream*>(player.stream.get())) {
    stream->setSeconds(frameSeconds(frame, fps));
  }
}

std::optional<std::uint64_t> seekFrames(Player& player, FrameClock& clock, std::uint64_t from, std::uint64_t to,
                                        int fps) {
  for (std::uint64_t frame = from; frame < to; ++frame) {
    clock.set(player, frame, fps);
    if (!player.advanceFrame()) return frame;
  }
  return std::nullopt;
}

}  // namespace glowmarch
