// The show's clocks on a fixed frame grid, as the capture plays it and as a seek reproduces it:
// frame n stands at n / fps seconds of music, with the millisecond clock at its nearest tick.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "timeline/Platform.h"
#include "timeline/Script.h"

namespace glowmarch {

class Player;

// The music time of frame n: n / fps, rounded once.
double frameSeconds(std::uint64_t frame, int fps);
// The player's millisecond clock at frame n, counted from the show's start: the nearest tick to n / fps.
std::uint32_t frameMilliseconds(std::uint64_t frame, int fps);
// The music time the show reads at frame n: n / fps while music of `musicFrames` samples plays, the
// millisecond clock once it has ended or when there is none.
double frameMusicTime(std::uint64_t frame, int fps, std::optional<std::uint64_t> musicFrames);

// The frame in which the script's "END" ends a show played on the grid from the start, if it comes
// before frame `limit`: 0 for an END among the start-up lines. Lines already run are passed over.
std::optional<std::uint64_t> scriptEndFrame(const std::vector<ScriptLine>& lines, int fps,
                                            std::optional<std::uint64_t> musicFrames, std::uint64_t limit);

// While it stands, the platform's millisecond clock reads the frame set last, so a show's frame delta
// follows the frames and not the machine's speed; the former clock is put back when it goes.
// One at a time; made before the Player, so that the show starts at tick 0.
class FrameClock {
 public:
  FrameClock();
  ~FrameClock();
  FrameClock(const FrameClock&) = delete;
  FrameClock& operator=(const FrameClock&) = delete;

  // The clocks of frame n: the millisecond clock, and the player's music when it is positioned by hand
  // (an audio::ManualStream).
  void set(Player& player, std::uint64_t frame, int fps);

 private:
  Platform former;
};

// Runs frames [from, to) of `player` at `fps` without drawing them: each script line as it falls due,
// in file order, printing what it prints, and every object advanced as drawing would advance it.
// Needs a FrameClock standing and the player's music positioned by hand or absent; programs, textures
// and meshes are made as their lines run, so a GL context must be current.
// Returns the frame in which the script's "END" ended the show, when it did (the frames after it
// are not run); none when every frame ran.
std::optional<std::uint64_t> seekFrames(Player& player, FrameClock& clock, std::uint64_t from, std::uint64_t to,
                                        int fps);

// Brings a show just started to frame n exactly as drawing every frame from the first leaves it, GL
// state crossing frames included (the camera's lighting, the pictures' blend function): frames before
// n - 1 are run without drawing, and frame n - 1 is drawn into one pixel of the bound framebuffer
// (the viewport and scissor are put back). The caller then sets the clock to n and draws it.
// Returns the frame in which the script's "END" ended the show, as seekFrames does.
std::optional<std::uint64_t> seekToFrame(Player& player, FrameClock& clock, std::uint64_t frame, int fps);

}  // namespace glowmarch
