// The edit mode's overlay, drawn with Dear ImGui after the scene: the time, the transport's state,
// the frame rate, a timeline of the whole show and the show's last messages. It leaves the picture
// beneath and the GL state as it found them.
#pragma once

#include <SDL2/SDL_events.h>
#include <SDL2/SDL_video.h>

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/edit/Transport.h"

namespace glowmarch {

// The music's loudness over `buckets` equal spans of its frames (interleaved 16-bit stereo), each
// the root mean square relative to full scale, 0 to 1.
std::vector<float> loudness(const std::int16_t* samples, std::uint64_t frames, std::size_t buckets);

// Where along a timeline of `width` pixels starting at `left` a click at `x` points, in seconds of a
// show `length` seconds long; clamped to the show.
double timelineSeconds(float x, float left, float width, double length);

struct OverlayView {
  double seconds = 0.0;  // the current music time
  double length = 0.0;   // the show's length in seconds: the music's, or the last line's time
  bool paused = false;
  LoopSpan loop;
  const std::vector<float>* loudness = nullptr;  // over the whole show; may be empty
  const std::vector<double>* lineTimes = nullptr;
  const std::deque<std::string>* messages = nullptr;
  const std::vector<std::string>* findings = nullptr;  // the show check's, listed after the messages
};

class Overlay {
 public:
  // Needs the window and the overlay's context, current; draw() needs it current too.
  Overlay(SDL_Window* window, SDL_GLContext context);
  ~Overlay();
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;

  // True when the overlay takes this event (a click on it), so the show must not.
  bool take(const SDL_Event& event);
  // Counts a frame for the rate and the frame-time graph, shown or not.
  void countFrame(double seconds);
  // Draws into the current framebuffer; returns a time to seek to when the timeline was clicked or
  // dragged to a new place.
  std::optional<double> draw(const OverlayView& view);
  // Mean CPU time of draw() in milliseconds over the frames it drew, the first (which makes the
  // font texture and the program) left out.
  double meanDrawMilliseconds() const { return drawCount > 0 ? drawSeconds * 1000.0 / drawCount : 0.0; }
  std::uint64_t drawnFrames() const { return drawCount; }

 private:
  void drawTimeline(const OverlayView& view, std::optional<double>& seek);

  std::array<float, 120> frameTimes{};
  std::size_t nextFrameTime = 0;
  double lastDrawMilliseconds = 0.0;
  double drawSeconds = 0.0;
  std::uint64_t drawCount = 0;
  bool warming = true;
  std::optional<double> dragSeconds;  // the last place a drag sought, so each new place seeks once
  bool scrollMessages = true;
  std::size_t messagesShown = 0;
};

}  // namespace glowmarch
