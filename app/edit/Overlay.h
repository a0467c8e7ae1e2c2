// The edit mode's overlay, drawn with Dear ImGui beside the picture: a column on the right with the
// time, the transport's state, the frame rate, the last reload and the show's messages, and a
// timeline along the bottom. The picture is shown in the area they leave. Leaves the GL state as it
// found it.
#pragma once

#include <SDL2/SDL_events.h>
#include <SDL2/SDL_video.h>

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/check/ShowCheck.h"
#include "app/edit/Inspector.h"
#include "app/edit/TimelineScale.h"
#include "app/edit/TimelineLines.h"
#include "app/edit/Transport.h"

namespace glowmarch {

class Demoeffect;
struct ScriptLine;

// The music's loudness over `buckets` equal spans of its frames (interleaved 16-bit stereo), each
// the root mean square relative to full scale, 0 to 1.
std::vector<float> loudness(const std::int16_t* samples, std::uint64_t frames, std::size_t buckets);

struct OverlayView {
  double seconds = 0.0;  // the current music time
  double length = 0.0;   // the show's length in seconds: the music's, or the last line's time
  double musicLength = 0.0;
  bool paused = false;
  bool atEnd = false;  // stopped by the script's END or the show's end
  LoopSpan loop;
  const std::vector<float>* loudness = nullptr;  // over the whole music; may be empty
  const std::vector<TimelineLine>* lines = nullptr;  // in file order
  const std::vector<double>* beats = nullptr;        // the music's beats, seconds
  int beatsPerBar = 4;
  bool beatsFromFile = false;  // the beats are data/music/beats.txt's, not those found in the music
  const std::deque<std::string>* messages = nullptr;
  const std::vector<Finding>* findings = nullptr;  // the show check's, listed under their files
  std::string status;  // a passing note, e.g. the last reload
  // For the inspector: the scene and the script's lines (in file order, as `lines`) as the show holds them.
  const std::vector<Demoeffect*>* scene = nullptr;
  const std::vector<ScriptLine>* scriptLines = nullptr;
};

// Lines at one time dragged on the timeline to a frame of the grid.
struct TickMove {
  double from = 0.0;  // the lines' time stamp, as the player reads it
  std::uint64_t frame = 0;
};

// A part of the window in pixels, from its top left corner.
struct PictureArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Where a picture of width x height goes in a window of that size when the overlay takes a column of
// `column` pixels on the right and a strip of `strip` pixels at the bottom: as large as fits, with its
// own proportions, centred in what is left.
PictureArea pictureArea(int width, int height, int column, int strip);

class Overlay {
 public:
  // Needs the window and the overlay's context, current; draw() needs it current too. The panels'
  // sizes are read from `layoutFile` and written back there when the overlay goes (none: not kept).
  Overlay(SDL_Window* window, SDL_GLContext context, std::string layoutFile);
  ~Overlay();
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;

  // True when the overlay takes this event (a click on it), so the show must not.
  bool take(const SDL_Event& event);
  // Counts a frame for the rate and the frame-time graph, shown or not.
  void countFrame(double seconds);
  // Draws into the current framebuffer; returns a grid frame to seek to when the timeline was clicked
  // or dragged to a new place.
  std::optional<std::uint64_t> draw(const OverlayView& view);
  // Where the picture goes in a window of this size (drawable pixels) while the overlay shows.
  PictureArea pictureArea(int width, int height) const;
  // Mean CPU time of draw() in milliseconds over the frames it drew, the first (which makes the
  // font texture and the program) left out.
  double meanDrawMilliseconds() const { return drawCount > 0 ? drawSeconds * 1000.0 / drawCount : 0.0; }
  std::uint64_t drawnFrames() const { return drawCount; }
  // The inspector shows or hides, the rest of the overlay as it was.
  void toggleInspector() { inspector.open = !inspector.open; }
  void showInspector() { inspector.open = true; }
  // The script line chosen in the inspector (its number in the file), while the inspector shows.
  std::optional<int> chosenLine() const { return inspector.open ? inspector.chosenLine() : std::nullopt; }
  // A tick dragged to a new place and let go, once.
  std::optional<TickMove> takeTickMove() { return std::exchange(tickMove, std::nullopt); }

 private:
  void drawSide(const OverlayView& view);
  void drawMessages(const OverlayView& view);
  void drawTimeline(const OverlayView& view, std::optional<std::uint64_t>& seek);
  void saveLayout() const;

  std::array<float, 120> frameTimes{};
  std::size_t nextFrameTime = 0;
  double lastDrawMilliseconds = 0.0;
  double drawSeconds = 0.0;
  std::uint64_t drawCount = 0;
  bool warming = true;
  std::optional<std::uint64_t> dragFrame;  // the last place a drag sought, so each new place seeks once
  // A tick pressed on: a click seeks to its lines, a drag moves them.
  struct TickDrag {
    double from = 0.0;
    float pressedAt = 0.0f;
    bool moving = false;
    std::uint64_t target = 0;
  };
  std::optional<TickDrag> tickDrag;
  std::optional<TickMove> tickMove;
  bool zoomed = false;  // the user zoomed or panned: the view no longer follows the show's length
  std::size_t messagesShown = 0;
  TimelineSpan span;
  SDL_Window* window;
  std::string layoutFile;
  float columnWidth = 0.0f;  // in window points, as the panels were left; 0 until known
  float stripHeight = 96.0f;
  float pointScale = 1.0f;  // drawable pixels per window point
  Inspector inspector;
};

}  // namespace glowmarch
