#include "timeline/FrameClock.h"

#include <GL/glew.h>

#include <cmath>

#include "audio/MusicStream.h"
#include "timeline/FrameLoop.h"
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

double frameMusicTime(std::uint64_t frame, int fps, std::optional<std::uint64_t> musicFrames) {
  const double seconds = frameSeconds(frame, fps);
  // As a ManualStream set to these seconds reads them: playing while its sample lies in the piece.
  if (musicFrames && std::floor(seconds * audio::sampleRate) < static_cast<double>(*musicFrames)) return seconds;
  return secondsBetween(0, frameMilliseconds(frame, fps));
}

std::optional<std::uint64_t> scriptEndFrame(const std::vector<ScriptLine>& lines, int fps,
                                            std::optional<std::uint64_t> musicFrames, std::uint64_t limit) {
  std::optional<std::uint64_t> earliest;
  for (const ScriptLine& line : lines) {
    if (line.executed || !isEndLine(line)) continue;
    // Start-up lines all run before the first frame.
    if (line.time < 0.0) return 0;
    // A time stamp the music time never passes (NaN) never runs.
    if (!(line.time >= 0.0)) continue;
    // The music time of a frame lies within half a millisecond of n / fps, so no frame before this
    // one is past the stamp; from here the frames are tried as the show runs them.
    const double from = std::floor((line.time - 0.002) * fps);
    if (from >= static_cast<double>(earliest.value_or(limit))) continue;
    std::uint64_t frame = from > 0.0 ? static_cast<std::uint64_t>(from) : 0;
    while (frame < earliest.value_or(limit) && !isDue(line, frameMusicTime(frame, fps, musicFrames))) ++frame;
    if (frame < earliest.value_or(limit)) earliest = frame;
  }
  return earliest;
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

std::optional<std::uint64_t> seekToFrame(Player& player, FrameClock& clock, std::uint64_t frame, int fps) {
  if (frame == 0) return std::nullopt;
  if (const auto ended = seekFrames(player, clock, 0, frame - 1, fps)) return ended;
  GLint viewport[4];
  GLint scissorBox[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glViewport(0, 0, 1, 1);
  glScissor(0, 0, 1, 1);
  glEnable(GL_SCISSOR_TEST);
  clock.set(player, frame - 1, fps);
  const bool on = player.runFrame();
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
  if (!scissor) glDisable(GL_SCISSOR_TEST);
  if (!on) return frame - 1;
  return std::nullopt;
}

}  // namespace glowmarch
