#include "app/edit/EditMode.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/check/ShowCheck.h"
#include "app/common/View.h"
#include "app/edit/BeatGrid.h"
#include "app/edit/BeatsCommand.h"
#include "app/edit/MessageLog.h"
#include "app/edit/Overlay.h"
#include "app/edit/PlayState.h"
#include "app/edit/Reload.h"
#include "app/edit/Retime.h"
#include "app/edit/Snapshot.h"
#include "app/edit/TimeStamp.h"
#include "app/edit/TimelineLines.h"
#include "app/edit/Transport.h"
#include "app/platform/FileWatcher.h"
#include "app/platform/System.h"
#include "app/shell/KeyTable.h"
#include "app/shell/Window.h"
#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "effects/ShowState.h"
#include "resources/KeptResources.h"
#include "resources/OffscreenTarget.h"
#include "resources/ShaderLibrary.h"
#include "resources/Utf8Path.h"
#include "timeline/FrameClock.h"
#include "timeline/FrameLoop.h"
#include "timeline/Platform.h"
#include "timeline/Player.h"

namespace glowmarch {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds of the whole process, the GL driver's threads included: on a busy machine a better
// figure of the work than the wall clock.
double processSeconds() { return system::processCpuSeconds(); }

// The player's audio boxes would stop every rebuild; in the edit mode they are messages, and the one
// about the music names the file looked for.
void noteBox(const char* text, const char* caption) {
  std::string line = std::string(caption) + ": " + text;
  if (std::string_view(text).find("file not found") != std::string_view::npos) line += std::string(" (") + musicPath + ")";
  std::fprintf(stderr, "%s\n", line.c_str());
  showMessages().note(std::move(line));
}

std::uint64_t sampleOf(std::uint64_t frame) { return frame * audio::sampleRate / editFps; }

// Where the overlay keeps its panels' sizes between runs; none without a home.
std::string layoutFile() {
  const std::filesystem::path folder = system::settingsFolder();
  return folder.empty() ? std::string() : nativeUtf8(folder / "edit-layout");
}

// The display's refresh rate, where SDL knows it.
double refreshRate(SDL_Window* window) {
  SDL_DisplayMode mode{};
  if (SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0) {
    return mode.refresh_rate;
  }
  return 60.0;
}

void drawableSize(int& width, int& height) {
  SDL_GL_GetDrawableSize(shell.window, &width, &height);
  if (width < 1) width = 1;
  if (height < 1) height = 1;
}

class EditSession {
 public:
  explicit EditSession(const EditOptions& options) : options(options), watcher("data") {}
  int run();

 private:
  void resetContext();
  void rebuild(std::uint64_t frame, bool pause);
  bool replacePrograms(const std::set<std::string>& changed);
  void drawOnGrid(std::uint64_t frame);
  void goLive(std::uint64_t frame, std::unique_ptr<audio::MusicStream> live);
  void pause();
  void resume();
  void seek(std::uint64_t frame);
  void reload(const std::set<std::string>& changed);
  void take(EditKey key);
  bool takeEvents(bool& done);
  void stopAtEnd();
  void say(std::string text);
  void redraw(int frames) { drawsDue = std::max(drawsDue, frames); }
  // Runs `draw` with the snapshot bound at the window's size.
  template <typename Draw>
  void intoSnapshot(Draw draw) {
    int width = 0;
    int height = 0;
    drawableSize(width, height);
    snapshot.bindForDrawing(width, height);
    draw();
    Snapshot::unbind();
  }
  // The show's next frame into the snapshot; the GL state it starts from is kept for drawing it
  // again with replaced programs, should it be held paused.
  void drawShowFrame() {
    intoSnapshot([this] {
      frameStart.take();
      player->runFrame();
    });
  }
  void drawFrame();
  void afterFrame();
  double heardSeconds() const;
  std::uint64_t currentFrame() const { return state.frame(heardSeconds()); }
  double currentSeconds() const { return state.seconds(musicTime); }
  double showLength() const;
  double timelineLength() const;
  void setMusic(std::shared_ptr<const audio::DecodedMusic> opened);
  void refreshLoudness();
  void refreshBeats();
  // The beat grid shown, snapped to and counted in bars: the beat file's when the show has one,
  // else the one found in the music.
  const std::vector<double>& shownBeats() const {
    return player && !player->beats.empty() ? player->beats : beats.beats;
  }
  int beatsPerBar() const { return player && !player->beats.empty() ? player->beatsPerBar : 4; }
  void copyTime();
  void writeBeats();
  void moveChosenLine(bool later);
  void retimed(const Retimer::Result& result);
  void listFindings();

  EditOptions options;
  FileWatcher watcher;
  std::unique_ptr<audio::AudioDevice> output;  // the sound device, for the whole session
  std::shared_ptr<const audio::DecodedMusic> music;
  std::unique_ptr<Player> player;
  std::optional<FrameClock> frameClock;  // stands while the show is on the grid (built, paused)
  // The overlay draws through a context of its own on the same window: the show's GL state cannot
  // feel it, and a show torn down cannot take the overlay's objects with it.
  SDL_GLContext overlayContext = nullptr;
  std::unique_ptr<Overlay> overlay;
  Snapshot snapshot;
  FreshGlState freshState;
  FrameStartState frameStart;  // of the picture held, to draw it again with replaced programs

  PlayState state;
  std::uint32_t pausedAt = 0;  // the millisecond clock when play was paused
  bool showOverlay = true;
  bool resized = false;
  bool builtOnce = false;
  bool endTaken = false;     // this build's END has been acted on
  // The script's "END" pauses the edit mode where it falls instead of ending it: the show is being
  // written, and its end is one more place to look at.
  bool endPending() const { return player && player->ended && !endTaken; }
  int drawsDue = 0;          // frames to draw while paused: the overlay settles over a few
  std::string status;        // the status box's passing note
  Clock::time_point statusUntil;
  double displayRate = 60.0;
  std::vector<TimelineLine> lines;
  // Each music opened is a new one, even at a freed one's address: what is found in it is kept by
  // this count.
  std::uint64_t musicGeneration = 0;
  double knownMusicLength = 0.0;  // kept while the music's file is missing for a moment
  std::vector<float> levels;
  std::uint64_t levelsGeneration = 0;
  BeatGrid beats;
  std::uint64_t beatsGeneration = 0;
  // Found off the drawing thread, once per music.
  std::future<std::pair<std::uint64_t, BeatGrid>> beatsComing;
  std::optional<double> endOfScript;  // the script's END
  Retimer retimer{scriptPath};
  // The last move of lines or beat file written: said again over the reload it brings.
  std::string editNote;
  std::optional<std::uint64_t> overlaySeek;
  std::vector<EditKey> keys;

  // Figures for the standard error: how long a reload takes from the save to its first frame.
  std::optional<Clock::time_point> savedAt;
  std::optional<Clock::time_point> reloadStarted;
  Clock::time_point reloadedAt;
  double reloadCpu = 0.0;
  Clock::time_point drawnAt;
  bool findingsDue = false;
  std::vector<Finding> findings;  // of the show check, as of the last reload
  Clock::time_point lastSwap = Clock::now();
  std::FILE* frameTimes = nullptr;
};

// The context goes on from show to show: the old show's objects are deleted, what it made of
// unchanged files is handed on, and the new show starts from the state of a new context.
void EditSession::resetContext() {
  releaseShowState();
  freshState.restore();
  int width = 0;
  int height = 0;
  drawableSize(width, height);
  resizeView(width, height);
}

void EditSession::rebuild(std::uint64_t frame, bool pause) {
  const Clock::time_point start = Clock::now();
  const double startCpu = processSeconds();
  // Playing on, the sound moves at once: it fades out where it is heard and goes on from the frame
  // sought while the show is built, and the picture catches up with it.
  std::unique_ptr<audio::MusicStream> live;
  if (!pause && player && player->stream && player->stream->activity() == audio::Activity::playing &&
      player->stream->sharedMusic() == music && dynamic_cast<audio::ManualStream*>(player->stream.get()) == nullptr) {
    live = std::move(player->stream);
    live->seek(sampleOf(frame));
  }
  // Music that does not go on (F5, another music file) fades out before it is dropped.
  if (player && player->stream) player->stream->fadeOutAndWait();
  player.reset();
  frameClock.reset();
  if (builtOnce) {
    resetContext();
  } else {
    clearShowState();
    freshState.save();
  }
  builtOnce = true;
  endTaken = false;
  state.rebuilt();
  showMessages().clear();
  if (!editNote.empty()) showMessages().note("edit: " + editNote);

  // The clock stands at 0 when the show starts, as in a capture.
  frameClock.emplace();
  player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }), music,
                                    Player::AtEnd::goOn);
  if (!music && player->stream) setMusic(player->stream->sharedMusic());
  const double startUp = secondsSince(start);
  intoSnapshot([&] { seekToFrame(*player, *frameClock, frame, editFps); });
  const double seeking = secondsSince(start) - startUp;
  lines = timelineLines(*player);
  endOfScript = scriptEnd(lines);
  retimer.read();

  // A seek past the script's END lands there paused: play never runs past it.
  if (endPending()) {
    endTaken = true;
    drawOnGrid(frame);
    state.endedOnGrid(frame);
  } else if (pause) {
    drawOnGrid(frame);
  } else {
    goLive(frame, std::move(live));
  }
  redraw(2);
  std::fprintf(stderr, "%s --edit: show built at %.3f s in %.3f s (start-up %.3f s, seek %.3f s; CPU %.3f s)\n",
               playerProgram, static_cast<double>(frame) / editFps, secondsSince(start), startUp, seeking,
               processSeconds() - startCpu);
}

// Frame n of the grid, as a capture draws it, paused: the frame clock stands.
void EditSession::drawOnGrid(std::uint64_t frame) {
  frameClock->set(*player, frame, editFps);
  drawShowFrame();
  state.pausedOnGrid(frame);
}

void EditSession::goLive(std::uint64_t frame, std::unique_ptr<audio::MusicStream> live) {
  frameClock.reset();  // the real clock again
  if (live && player->stream) {
    player->stream = std::move(live);
  } else if (player->stream && output) {
    std::unique_ptr<audio::MusicStream> fresh = output->createStream(player->stream->sharedMusic());
    if (fresh) {
      fresh->seek(sampleOf(frame));
      if (fresh->play()) player->stream = std::move(fresh);
    }
  }
  // The millisecond clock goes on from the frame, so the next frame delta is one frame's time.
  player->startTime = platform().milliseconds() - frameMilliseconds(frame, editFps);
  state.playing();
}

void EditSession::pause() {
  redraw(2);
  if (state.paused()) return;
  const bool held = player->stream && player->stream->pause();
  pausedAt = platform().milliseconds();
  state.pausedAt(musicTime);
  if (!held) return;
  // The sound plays out what the device holds and fades out after the last frame handed out: the
  // picture held is that frame's, so it is the music heard last.
  const double heldSeconds = player->stream->positionSeconds();
  state.pausedAt(heldSeconds);
  player->startTime = pausedAt - static_cast<std::uint32_t>(std::llround(heldSeconds * 1000.0));
  drawShowFrame();
}

void EditSession::resume() {
  redraw(2);
  if (!state.paused()) return;
  if (state.onGrid()) {
    goLive(state.pausedFrame(), nullptr);
    return;
  }
  player->startTime += platform().milliseconds() - pausedAt;
  if (player->stream) player->stream->play();
  state.playing();
}

void EditSession::seek(std::uint64_t frame) { rebuild(frame, state.paused()); }

// Only shaders saved: the programs are linked again in place and the frame drawn again, the show's
// state as it stands. False when the show must be built again instead.
bool EditSession::replacePrograms(const std::set<std::string>& changed) {
  if (!player || !shadersOnly(changed)) return false;
  if (state.paused() && redrawDiffers(player->scene)) return false;
  const Clock::time_point start = Clock::now();
  const SourcesReloaded replaced = reloadShaderSources(shaderSourceNames(changed));
  forgetMessages(showMessages(), replaced.previousMessages);
  if (replaced.layoutChanged) return false;
  const double linking = secondsSince(start);
  if (state.paused()) {
    intoSnapshot([this] {
      frameStart.restore();
      player->redrawFrame();
      glFinish();
    });
  }
  redraw(2);
  std::fprintf(stderr, "%s --edit: programs replaced at %.3f s in %.3f s (%d linked again in %.3f s, the frame drawn again in %.3f s)\n",
               playerProgram, currentSeconds(), secondsSince(start), replaced.relinked, linking,
               secondsSince(start) - linking);
  return true;
}

void EditSession::reload(const std::set<std::string>& changed) {
  findingsDue = true;
  reloadStarted = savedAt ? *savedAt : Clock::now();
  if (replacePrograms(changed)) return;
  if (changed.count(musicPath) > 0) setMusic(audio::DecodedMusic::open(musicPath));
  rebuild(currentFrame(), state.paused());
}

// Seeks go from the music heard now, not from the last picture's time.
double EditSession::heardSeconds() const {
  if (player && player->stream && player->stream->activity() == audio::Activity::playing) {
    return player->stream->positionSeconds();
  }
  return musicTime;
}

double EditSession::showLength() const {
  double length = music ? static_cast<double>(music->length()) / audio::sampleRate : 0.0;
  for (const TimelineLine& line : lines) length = std::max(length, line.time);
  return std::max(length, state.endSeconds());
}

// What the timeline spans and seeks stay within: up to the script's END, else to the music's end
// (its length kept while its file is being saved again) or the last line.
double EditSession::timelineLength() const {
  if (endOfScript) return *endOfScript;
  return std::max(showLength(), music ? 0.0 : knownMusicLength);
}

void EditSession::setMusic(std::shared_ptr<const audio::DecodedMusic> opened) {
  music = std::move(opened);
  ++musicGeneration;
  if (music) knownMusicLength = static_cast<double>(music->length()) / audio::sampleRate;
}

void EditSession::say(std::string text) {
  status = std::move(text);
  statusUntil = Clock::now() + std::chrono::seconds(4);
  redraw(2);
}

// The show stops where it ends and the clock with it; the note is given once.
void EditSession::stopAtEnd() {
  const bool byEnd = endPending();
  endTaken = true;
  pause();
  state.stopAtEnd(byEnd, showLength());
  showMessages().note(byEnd ? "edit: the script's END; paused here" : "edit: the show's end; paused here");
}

std::optional<std::uint64_t> lastFrameOf(double length) {
  if (!(length > 0.0)) return std::nullopt;
  return frameNearest(length);
}

void EditSession::take(EditKey key) {
  const EditAction action = state.answer(key, heardSeconds(), lastFrameOf(timelineLength()), shownBeats());
  switch (action.kind) {
    case EditAction::Kind::pause:
      pause();
      return;
    case EditAction::Kind::resume:
      resume();
      return;
    case EditAction::Kind::refused:
      say("the show's end: Home, Left or the timeline go back");
      return;
    case EditAction::Kind::seek:
      seek(action.frame);
      return;
    case EditAction::Kind::nextFrame:
      drawOnGrid(action.frame);
      return;
    case EditAction::Kind::none:
      return;
    case EditAction::Kind::other:
      break;
  }
  switch (key) {
    case EditKey::overlay:
      showOverlay = !showOverlay;
      return;
    case EditKey::inspector:
      // With the overlay hidden the key brings it back, with the inspector shown.
      if (!showOverlay) {
        showOverlay = true;
        overlay->showInspector();
      } else {
        overlay->toggleInspector();
      }
      return;
    case EditKey::reload:
      reload({});
      return;
    case EditKey::restart:
      findingsDue = true;
      setMusic(audio::DecodedMusic::open(musicPath));
      rebuild(0, false);
      return;
    case EditKey::copyTime:
      copyTime();
      return;
    case EditKey::writeBeats:
      writeBeats();
      return;
    case EditKey::undo:
      retimed(retimer.undo());
      return;
    case EditKey::redo:
      retimed(retimer.redo());
      return;
    case EditKey::lineEarlier:
    case EditKey::lineLater:
      moveChosenLine(key == EditKey::lineLater);
      return;
    case EditKey::fullscreen: {
      const bool full = (SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN) != 0;
      SDL_SetWindowFullscreen(shell.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
      return;
    }
    default:
      return;
  }
}

bool EditSession::takeEvents(bool& done) {
  SDL_Event event;
  bool any = false;
  while (SDL_PollEvent(&event) != 0) {
    any = true;
    if (event.type == SDL_QUIT) {
      done = true;
      continue;
    }
    if (overlay && overlay->take(event)) continue;
    handleEvent(event);
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) resized = true;
    if (event.type != SDL_KEYDOWN || isSystemKey(event.key.keysym)) continue;
    const EditKey key = editKeyFor(virtualKey(event.key.keysym), (event.key.keysym.mod & KMOD_SHIFT) != 0,
                                   (event.key.keysym.mod & KMOD_CTRL) != 0);
    // Held down, only the keys that move through the show repeat.
    const bool moves = key == EditKey::back || key == EditKey::forward || key == EditKey::backFar ||
                       key == EditKey::forwardFar || key == EditKey::stepBack || key == EditKey::stepForward;
    if (key != EditKey::none && (event.key.repeat == 0 || moves)) keys.push_back(key);
  }
  if (shell.active && shell.keys[virtualKeyEscape]) done = true;
  return any;
}

void EditSession::refreshLoudness() {
  if (!music) {
    levels.clear();
    levelsGeneration = 0;
    return;
  }
  if (levelsGeneration == musicGeneration || !music->complete()) return;
  levels = loudness(music->samples(), music->decodedFrames(), 1024);
  levelsGeneration = musicGeneration;
}

void EditSession::refreshBeats() {
  if (beatsComing.valid() && beatsComing.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
    auto [generation, found] = beatsComing.get();
    // Found in a music that has been replaced since: looked for again.
    if (generation == musicGeneration) {
      beats = std::move(found);
      beatsGeneration = generation;
    }
    redraw(1);
  }
  if (!music) {
    beats = BeatGrid();
    beatsGeneration = 0;
    return;
  }
  // After the show check, which would otherwise share the cores with it right after a (re)build.
  if (beatsGeneration == musicGeneration || beatsComing.valid() || !music->complete() || findingsDue) return;
  beatsComing = std::async(std::launch::async, [piece = music, generation = musicGeneration] {
    return std::pair(generation, findBeats(piece->samples(), piece->decodedFrames()));
  });
}

void EditSession::copyTime() {
  // The stamp that runs in the frame shown: a line stamped with the time shown would run a frame later.
  const std::string stamp = state.onGrid() ? stampForFrame(state.pausedFrame()) : stampBefore(currentSeconds());
  char shown[64];
  std::snprintf(shown, sizeof shown, " (runs in the frame shown at %.3f s)", currentSeconds());
  if (SDL_SetClipboardText(stamp.c_str()) == 0) {
    showMessages().note("edit: " + stamp + " copied" + shown);
  } else {
    showMessages().note(std::string("edit: the clipboard could not be set (") + SDL_GetError() + "); the stamp is " +
                        stamp + shown);
  }
  redraw(2);
}

void EditSession::writeBeats() {
  if (beats.beats.size() < 2 || beatsGeneration != musicGeneration) {
    say(music && (beatsComing.valid() || beatsGeneration != musicGeneration) ? "the music's beats are still being found"
                                                                              : "no beat found in the music: nothing written");
    return;
  }
  std::string report;
  if (writeBeatFile(beats.beats, report)) editNote = report;
  showMessages().note("edit: " + report);
  say(report);
  // The show reads the file as it is built: with no watcher, built again here.
  if (!watcher.watching()) reload({});
}

// The line chosen in the inspector to the beat before or after the frame it runs in.
void EditSession::moveChosenLine(bool later) {
  const std::optional<int> fileLine = overlay->chosenLine();
  if (!fileLine) {
    say("choose a line in the inspector (I) to move it to a beat");
    return;
  }
  const auto line = std::find_if(lines.begin(), lines.end(), [&](const TimelineLine& l) { return l.fileLine == *fileLine; });
  if (line == lines.end()) {
    say("line " + std::to_string(*fileLine) + " is no longer a line of the script");
    return;
  }
  const std::uint64_t runs = line->time < 0.0 ? 0 : firstFrameAfter(line->time);
  const std::vector<double>& grid = shownBeats();
  const double shown = static_cast<double>(runs) / editFps;
  const std::optional<double> beat = later ? nextBeat(grid, shown) : previousBeat(grid, shown);
  // Frame 0 is the start-up lines' alone.
  std::optional<std::uint64_t> target;
  if (beat && frameNearest(*beat) >= 1) target = frameNearest(*beat);
  if (!target) {
    say(grid.empty() ? "no beats to move the line to" : later ? "no beat after this line" : "no beat before this line");
    return;
  }
  retimed(retimer.moveLine(*fileLine, stampForFrame(*target)));
}

// A move of lines in time, or its undoing: the script was written whole or not at all, and the show
// reloads from it as for any save.
void EditSession::retimed(const Retimer::Result& result) {
  showMessages().note("edit: " + result.message);
  say(result.message);
  if (result.written) editNote = result.message;
  if (result.written && !watcher.watching()) reload({scriptPath});
}

void EditSession::listFindings() {
  findings = checkShow();
  // The check makes and deletes objects of its own; the show's drawing state must not feel it.
  SDL_GL_MakeCurrent(shell.window, shell.context);
}

void EditSession::drawFrame() {
  int width = 0;
  int height = 0;
  drawableSize(width, height);
  if (state.paused()) {
    // The window changed size under the picture: it is drawn again at the new size.
    if (!snapshot.fits(width, height)) resized = true;
  } else {
    if (auto* manual = dynamic_cast<audio::ManualStream*>(player->stream.get())) {
      // No sound device: the music is positioned by the clock, so the spectrum still follows.
      manual->setSeconds(secondsBetween(player->startTime, platform().milliseconds()));
    }
    // Drawn where a paused picture is kept, as a capture draws it, and shown from there; a pause
    // may hold it.
    drawShowFrame();
  }
  snapshot.present(width, height, showOverlay ? overlay->pictureArea(width, height) : PictureArea{0, 0, width, height});
  if (showOverlay) {
    refreshLoudness();
    OverlayView view;
    view.seconds = currentSeconds();
    view.length = timelineLength();
    view.musicLength = music ? static_cast<double>(music->length()) / audio::sampleRate : 0.0;
    view.paused = state.paused();
    view.atEnd = state.atEnd();
    view.loop = state.loop;
    view.loudness = &levels;
    view.lines = &lines;
    view.beats = &shownBeats();
    view.beatsPerBar = beatsPerBar();
    view.beatsFromFile = player && !player->beats.empty();
    view.messages = &showMessages().lines();
    view.findings = &findings;
    view.scene = &player->scene;
    view.scriptLines = &player->scriptLines;
    if (!status.empty()) view.status = status;
    SDL_GL_MakeCurrent(shell.window, overlayContext);
    overlaySeek = overlay->draw(view);
  }
  SDL_GL_SwapWindow(shell.window);
  if (frameTimes != nullptr && !state.paused()) {
    // For measuring the picture against the sound heard (tests/app/edit_sound.sh): when each picture
    // went out, on the monotonic clock, and its music time.
    std::fprintf(frameTimes, "%.6f %.6f\n",
                 std::chrono::duration<double>(Clock::now().time_since_epoch()).count(), musicTime);
  }
  SDL_GL_MakeCurrent(shell.window, shell.context);
  // Play is paced to the display: the swap waits for it where there is a vertical sync, and where
  // there is none (or it is off) the frame waits out the rest of the display's period.
  const Clock::time_point next = lastSwap + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(1.0 / displayRate));
  if (!state.paused() && Clock::now() < next) std::this_thread::sleep_until(next);
  const Clock::time_point now = Clock::now();
  overlay->countFrame(std::chrono::duration<double>(now - lastSwap).count());
  lastSwap = now;
}

void EditSession::afterFrame() {
  if (savedAt) {
    const auto between = [](Clock::time_point from, Clock::time_point to) {
      return std::chrono::duration<double>(to - from).count();
    };
    std::fprintf(stderr,
                 "%s --edit: reloaded at %.3f s, %.3f s from the save to the first new frame (settling %.3f s, "
                 "building %.3f s, drawing %.3f s; CPU from the reload %.3f s)\n",
                 playerProgram, currentSeconds(), secondsSince(*savedAt), between(*savedAt, reloadedAt),
                 between(reloadedAt, drawnAt), secondsSince(drawnAt), processSeconds() - reloadCpu);
    savedAt.reset();
  }
  if (reloadStarted) {
    char text[96];
    std::snprintf(text, sizeof text, "reloaded at %.3f s in %.2f s", currentSeconds(), secondsSince(*reloadStarted));
    say(editNote.empty() ? std::string(text) : std::exchange(editNote, {}) + "; " + text);
    reloadStarted.reset();
  }
  if (findingsDue) {
    // After the first frame: the check compiles every shader again, and the new frame comes first.
    findingsDue = false;
    listFindings();
  }
  if (state.paused()) return;
  if (const auto start = state.loop.wrap(musicTime)) {
    rebuild(*start, false);
    return;
  }
  const double length = showLength();
  // The end of a show whose music is still being decoded is not known yet.
  if (endPending() || (length > 0.0 && musicTime >= length && (!music || music->complete()))) stopAtEnd();
}

int EditSession::run() {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  shell.fullscreen = false;
  if (!createWindow()) return 1;
  int width = 0;
  int height = 0;
  if (options.width != windowWidth || options.height != windowHeight) {
    SDL_SetWindowSize(shell.window, options.width, options.height);
    // The show is built once, at the size asked for: the window server's answer is awaited.
    for (int tries = 0; tries < 50; ++tries) {
      SDL_PumpEvents();
      drawableSize(width, height);
      if (width == options.width && height == options.height) break;
      SDL_Delay(10);
    }
    SDL_FlushEvent(SDL_WINDOWEVENT);
  }
  drawableSize(width, height);
  resizeView(width, height);

  if (const char* path = std::getenv("GLOWMARCH_FRAME_TIMES"); path != nullptr && path[0] != '\0') {
    frameTimes = std::fopen(path, "w");
  }
  MessageLog::install();
  Platform hooks = platform();
  hooks.showMessage = noteBox;
  setPlatform(hooks);
  keepLastGoodPrograms(true);
  keepResourcesAcrossShows(true);
  output = audio::AudioDevice::openDefault();
  if (!output) showMessages().note("edit: no sound output; the music is followed silently");
  setMusic(audio::DecodedMusic::open(musicPath));
  overlayContext = SDL_GL_CreateContext(shell.window);
  if (overlayContext == nullptr) {
    std::fprintf(stderr, "%s --edit: no GL context for the overlay: %s\n", playerProgram, SDL_GetError());
    killWindow();
    return 1;
  }
  SDL_GL_SetSwapInterval(1);
  overlay = std::make_unique<Overlay>(shell.window, overlayContext, layoutFile());
  SDL_GL_MakeCurrent(shell.window, shell.context);
  SDL_GL_SetSwapInterval(1);
  displayRate = refreshRate(shell.window);
  if (!watcher.watching()) showMessages().note("edit: files are not watched; F6 reloads");

  rebuild(frameNearest(options.at), options.paused);
  // Rebuilds after the first print what changed, not the listing again.
  setScriptListing(false);
  findingsDue = true;
  bool done = false;
  while (!done) {
    // The overlay answers a key or the mouse over a few frames (hover, then the result).
    if (takeEvents(done)) redraw(3);
    if (done) break;
    for (EditKey key : std::exchange(keys, {})) take(key);
    if (overlaySeek) seek(*std::exchange(overlaySeek, std::nullopt));
    if (const std::optional<TickMove> move = overlay->takeTickMove()) {
      retimed(retimer.moveTime(move->from, stampForFrame(move->frame)));
    }
    watcher.poll(Clock::now());
    const std::optional<Clock::time_point> firstChange =
        watcher.changes().pending() ? std::optional(watcher.changes().firstChange()) : std::nullopt;
    const std::set<std::string> changed = watcher.changes().takeSettled(Clock::now());
    if (!changed.empty()) {
      savedAt = firstChange;
      reloadedAt = Clock::now();
      reloadCpu = processSeconds();
      reload(changed);
    }
    if (resized) {
      resized = false;
      // A paused picture is drawn again at the new size.
      if (state.paused()) rebuild(currentFrame(), true);
    }
    refreshBeats();
    if (!status.empty() && Clock::now() >= statusUntil) {
      status.clear();
      redraw(1);
    }
    // Paused, a frame is drawn only when something changed; otherwise the loop sleeps until an
    // event comes, looking at the files and the status box now and then.
    const bool due = !state.paused() || drawsDue > 0 || findingsDue || resized || reloadStarted.has_value();
    if (shell.active && due) {
      drawnAt = Clock::now();
      drawFrame();
      afterFrame();
      if (drawsDue > 0) --drawsDue;
    } else {
      SDL_WaitEventTimeout(nullptr, 40);
    }
    shell.keys.settle();
  }

  if (overlay && overlay->drawnFrames() > 0) {
    std::fprintf(stderr, "%s --edit: overlay %.3f ms of CPU per frame over %llu frames\n", playerProgram,
                 overlay->meanDrawMilliseconds(), static_cast<unsigned long long>(overlay->drawnFrames()));
  }
  // Escape or the window closed: the music fades out before the output closes.
  if (player && player->stream) player->stream->fadeOutAndWait();
  player.reset();
  frameClock.reset();
  clearShowState();
  SDL_GL_MakeCurrent(shell.window, overlayContext);
  overlay.reset();
  SDL_GL_MakeCurrent(shell.window, shell.context);
  SDL_GL_DeleteContext(overlayContext);
  output.reset();
  if (frameTimes != nullptr) std::fclose(frameTimes);
  if ((SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN) != 0) SDL_SetWindowFullscreen(shell.window, 0);
  killWindow();
  return 0;
}

}  // namespace

int runEditMode(const EditOptions& options) {
  EditSession session(options);
  return session.run();
}

int runEditCommandLine(const std::vector<std::string>& arguments) {
  const ParsedEditOptions parsed = parseEditOptions(arguments);
  if (!parsed.ok()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", playerProgram, parsed.error.c_str(), playerProgram);
    return 2;
  }
  if (parsed.options.help || !parsed.options.edit) {
    std::fputs(editUsage().c_str(), stdout);
    return 0;
  }
  return runEditMode(parsed.options);
}

}  // namespace glowmarch
