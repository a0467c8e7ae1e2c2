// Where the edit mode stands in its show, and what a key asks of it, in plain values: playing, or
// paused on a grid frame (a capture's frame) or where play was heard; stopped at the show's end; the
// loop. The session does what it answers with GL and sound.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/edit/Transport.h"

namespace glowmarch {

// What the session does for a key.
struct EditAction {
  enum class Kind {
    none,
    pause,
    resume,
    seek,       // build the show at `frame`
    nextFrame,  // draw `frame`, the one after the paused grid frame: no rebuild needed
    refused,    // a key that cannot act here; the session says so
    other,      // a key the state does not own (overlay, reload, restart, fullscreen, copy)
  };
  Kind kind = Kind::none;
  std::uint64_t frame = 0;
};

class PlayState {
 public:
  LoopSpan loop;

  bool paused() const { return isPaused; }
  bool onGrid() const { return isPaused && grid; }
  bool atEnd() const { return stopped; }
  // The grid frame held; meaningful while onGrid().
  std::uint64_t pausedFrame() const { return gridFrame; }
  // Where the script's END stopped play; 0 when it did not.
  double endSeconds() const { return endAt; }

  // The frame a seek starts from and the time shown. `heard` is the music time being heard while
  // playing: seeks go from the sound, not from the last picture.
  std::uint64_t frame(double heard) const;
  double seconds(double shown) const;

  // The show was built anew at `frame` (a seek, a reload, a loop): nothing of the last build's end holds.
  void rebuilt() { stopped = false, endAt = 0.0; }
  void playing() { isPaused = false, grid = false; }
  void pausedOnGrid(std::uint64_t frame) { isPaused = true, grid = true, gridFrame = frame; }
  // Play paused where the music was heard last.
  void pausedAt(double seconds) { isPaused = true, grid = false, heldSeconds = seconds; }
  // Play reached the script's END at the paused time, or the show's `length`.
  void stopAtEnd(bool byEnd, double length);
  // A build that lands past the script's END stops there, paused on its grid frame.
  void endedOnGrid(std::uint64_t frame);

  // What `key` asks for; the loop keys are answered here. `lastFrame` bounds seeks (Page Down's
  // too) when the show's length is known; `beats` are the music's beat times, ascending.
  EditAction answer(EditKey key, double heard, std::optional<std::uint64_t> lastFrame,
                    const std::vector<double>& beats);

 private:
  bool isPaused = false;
  bool grid = false;
  bool stopped = false;
  std::uint64_t gridFrame = 0;
  double heldSeconds = 0.0;
  double endAt = 0.0;
};

}  // namespace glowmarch
