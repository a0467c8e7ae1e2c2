// The application object: the script, the scene it builds, the music clock and the per-frame pass.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "audio/AudioDevice.h"
#include "audio/MusicStream.h"
#include "effects/Demoeffect.h"
#include "timeline/FrameLoop.h"
#include "timeline/Script.h"

namespace glowmarch {

inline constexpr const char* musicPath = "data/music/QX07Synthpop_FINAL.mp3";

// Opens the output the music plays on; nullptr when there is none.
using AudioOpener = std::function<std::unique_ptr<audio::AudioDevice>()>;

class Player {
 public:
  std::vector<Demoeffect*> scene;  // drawn every frame, in order; does not own
  std::unique_ptr<char[]> scriptText;
  std::vector<ScriptLine> scriptLines;
  std::uint32_t startTime = 0;
  std::uint32_t frameCount = 0;
  std::unique_ptr<audio::AudioDevice> audioDevice;  // null when no output could be opened
  std::unique_ptr<audio::MusicStream> stream;       // null when no music could be opened
  // The music's beats from data/music/beats.txt (at least two, rising), fed to programs as "musicbeat";
  // empty when the show has no such file.
  std::vector<double> beats;
  int beatsPerBar = 4;

  // What the script's "END" does. `stop`: the show ends where the line stands (the lines after it
  // and the drawing of its frame are left out, the music is not started when it comes among the
  // start-up lines) and runFrame and advanceFrame return false from then on, doing nothing.
  // `goOn`: the show plays on as if the line were not there; `ended` only notes it (the edit mode
  // pauses there).
  enum class AtEnd { stop, goOn };
  AtEnd atEnd = AtEnd::stop;
  bool ended = false;  // the script's "END" has run

  // The show on the default output device: the script started, then the music.
  // Needs a current GL context; audio failures are told in a message box and the show goes on.
  Player();
  // The same on the output `openAudio` gives (e.g. an audio::ManualDevice, or none).
  explicit Player(const AudioOpener& openAudio);
  // The same with music already decoded (kept across shows by a tool that rebuilds them); null
  // music is opened from musicPath.
  Player(const AudioOpener& openAudio, std::shared_ptr<const audio::DecodedMusic> music,
         AtEnd atEnd = AtEnd::stop);
  // Nothing started, for tests and tools that drive the parts one by one.
  struct NotStarted {};
  explicit Player(NotStarted) {}
  // Frees the music and the output; the effects and the resource registries are not touched.
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // One frame: clocks, music, due script lines, drawing. False once the script's "END" has ended
  // the show (see AtEnd): each program decides what that means for it.
  bool runFrame();
  // The same frame without drawing: the show's state moves exactly as runFrame moves it.
  bool advanceFrame();
  // The last frame drawn again as the objects stand (after programs were replaced in place): no
  // clock moves, no line runs, no object advances.
  void redrawFrame();
  // The show has been ended by its "END" and plays no more.
  bool over() const { return ended && atEnd == AtEnd::stop; }

  // Fixed GL state, the script read and listed, its negative-time lines run.
  void init();
  void parseScript();
  // The beat file read, when there is one, its skipped lines told on standard output.
  void readBeats();

 private:
  // The parts of a frame, in order; only runFrame draws between the second and the last.
  void sampleClocks();
  // False when the script's "END" ended the show in this frame.
  bool stepTimeline();
  bool finishFrame();

  char fpsText[fpsTextSize] = {};
};

// Whether start-up lists the script on standard output (on by default; a tool that builds the same
// show again and again lists it once).
void setScriptListing(bool on);

// Runs one line's command and marks it executed.
void executeLine(Player& player, ScriptLine& line);
// Whether running the line would run the script's "END"; the line is left as it is.
bool isEndLine(const ScriptLine& line);

// A new effect of the class named by the type word, or nullptr for an unknown word.
std::unique_ptr<Demoeffect> createEffect(const char* type);

}  // namespace glowmarch
