#include "app/edit/EditMode.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/check/ShowCheck.h"
#include "app/common/View.h"
#include "app/edit/MessageLog.h"
#include "app/edit/Overlay.h"
#include "app/edit/Transport.h"
#include "app/platform/FileWatcher.h"
#include "app/platform/System.h"
#include "app/shell/KeyTable.h"
#include "app/shell/Window.h"
#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "effects/ShowState.h"
#include "resources/OffscreenTarget.h"
#include "resources/ShaderLibrary.h"
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

// The player's audio boxes would stop every rebuild; in the edit mode they are messages.
void noteBox(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  showMessages().note(std::string(caption) + ": " + text);
}

std::uint64_t sampleOf(std::uint64_t frame) { return frame * audio::sampleRate / editFps; }

void drawableSize(int& width, int& height) {
  SDL_GL_GetDrawableSize(shell.window, &width, &height);
  if (width < 1) width = 1;
  if (height < 1) height = 1;
}

// The show's last picture: a paused show is shown again from it, never drawn again, since drawing a
// frame advances it. A frame on the grid is drawn straight into it, into the very kind of buffer a
// capture draws into (RGBA8 with depth and stencil): the window's own has no alpha, which blending
// may read.
class Snapshot {
 public:
  // Its objects died with their context.
  void forget() { *this = Snapshot(); }

  // The next frame is drawn here, until unbind().
  void bindForDrawing(int w, int h) {
    fit(w, h);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  }
  static void unbind() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }

  // Copies the picture the window holds.
  void take(int w, int h) {
    fit(w, h);
    copy(0, target.framebuffer, w, h);
  }

  bool show(int w, int h) const {
    if (target.framebuffer == 0 || w != width || h != height) return false;
    copy(target.framebuffer, 0, w, h);
    return true;
  }

 private:
  void fit(int w, int h) {
    if (target.framebuffer != 0 && w == width && h == height) return;
    if (target.framebuffer != 0) {
      glDeleteFramebuffers(1, &target.framebuffer);
      glDeleteRenderbuffers(1, &target.colorBuffer);
      glDeleteRenderbuffers(1, &target.depthBuffer);
    }
    createOffscreenTarget(target, w, h);
    // The show clears colour and depth every frame but never the stencil, which starts undefined.
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    unbind();
    width = w;
    height = h;
  }

  static void copy(GLuint from, GLuint to, int w, int h) {
    // A blit is cut by the scissor, which the show may leave on.
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    if (scissor) glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    unbind();
    if (scissor) glEnable(GL_SCISSOR_TEST);
  }

  OffscreenTarget target;
  int width = 0;
  int height = 0;
};

class EditSession {
 public:
  explicit EditSession(const EditOptions& options) : options(options), watcher("data") {}
  int run();

 private:
  void renewContext();
  void rebuild(std::uint64_t frame, bool pause);
  void drawOnGrid(std::uint64_t frame);
  void goLive(std::uint64_t frame);
  void pause();
  void resume();
  void seek(std::uint64_t frame);
  void reload(bool musicChanged);
  void take(EditKey key);
  void takeEvents(bool& done);
  void drawFrame();
  void afterFrame();
  std::uint64_t currentFrame() const;
  double currentSeconds() const;
  double showLength() const;
  void refreshLoudness();
  void listFindings();

  EditOptions options;
  FileWatcher watcher;
  std::unique_ptr<audio::AudioDevice> output;  // the sound device, for the whole session
  std::shared_ptr<const audio::DecodedMusic> music;
  std::unique_ptr<Player> player;
  std::optional<FrameClock> frameClock;  // stands while the show is on the grid (built, paused)
  // The overlay draws through a context of its own on the same window: the show's contexts come and
  // go with every rebuild, and the overlay's program and font would be made anew each time; and the
  // show's GL state cannot feel it.
  SDL_GLContext overlayContext = nullptr;
  std::unique_ptr<Overlay> overlay;
  Snapshot snapshot;

  bool paused = false;
  bool onGrid = false;  // the paused picture is grid frame `pausedFrame`
  std::uint64_t pausedFrame = 0;
  double pausedSeconds = 0.0;  // music time of a picture paused during play
  std::uint32_t pausedAt = 0;  // the millisecond clock when play was paused
  bool showOverlay = true;
  bool resized = false;
  bool builtOnce = false;
  LoopSpan loop;
  std::vector<double> lineTimes;
  std::vector<float> levels;
  const audio::DecodedMusic* levelsOf = nullptr;
  std::optional<double> overlaySeek;
  std::vector<EditKey> keys;

  // Figures for the standard error: how long a reload takes from the save to its first frame.
  std::optional<Clock::time_point> savedAt;
  Clock::time_point reloadedAt;
  double reloadCpu = 0.0;
  Clock::time_point drawnAt;
  bool findingsDue = false;
  std::vector<std::string> findings;  // of the show check, as of the last reload
  Clock::time_point lastSwap = Clock::now();
};

void EditSession::renewContext() {
  // Every object of the old show goes with its context; a show never deletes its own.
  snapshot.forget();
  SDL_GLContext made = SDL_GL_CreateContext(shell.window);
  if (made == nullptr) {
    SDL_GL_MakeCurrent(shell.window, shell.context);
    showMessages().note(std::string("edit: no new GL context (") + SDL_GetError() + "); the old one goes on");
    return;
  }
  SDL_GL_MakeCurrent(shell.window, made);
  glewExperimental = GL_TRUE;
  glewInit();
  drainGlErrors();
  SDL_GL_DeleteContext(shell.context);
  shell.context = made;
  int width = 0;
  int height = 0;
  drawableSize(width, height);
  resizeView(width, height);
}

void EditSession::rebuild(std::uint64_t frame, bool pause) {
  const Clock::time_point start = Clock::now();
  const double startCpu = processSeconds();
  player.reset();
  frameClock.reset();
  clearShowState();
  if (builtOnce) renewContext();
  builtOnce = true;
  showMessages().clear();

  // The clock stands at 0 when the show starts, as in a capture.
  frameClock.emplace();
  // The script's "END" pauses the edit mode where it falls: the show is being written, and its end is
  // one more place to look at.
  player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }), music,
                                    Player::AtEnd::goOn);
  if (!music && player->stream) music = player->stream->sharedMusic();
  const double startUp = secondsSince(start);
  seekFrames(*player, *frameClock, 0, frame, editFps);
  const double seeking = secondsSince(start) - startUp;
  lineTimes.clear();
  for (const ScriptLine& line : player->scriptLines) lineTimes.push_back(line.time);

  paused = pause;
  if (pause) {
    drawOnGrid(frame);
  } else {
    goLive(frame);
  }
  std::fprintf(stderr, "%s --edit: show built at %.3f s in %.3f s (start-up %.3f s, seek %.3f s; CPU %.3f s)\n",
               playerProgram, static_cast<double>(frame) / editFps, secondsSince(start), startUp, seeking,
               processSeconds() - startCpu);
}

// Frame n of the grid, as a capture draws it, paused: the frame clock stands.
void EditSession::drawOnGrid(std::uint64_t frame) {
  int width = 0;
  int height = 0;
  drawableSize(width, height);
  frameClock->set(*player, frame, editFps);
  snapshot.bindForDrawing(width, height);
  player->runFrame();
  Snapshot::unbind();
  onGrid = true;
  pausedFrame = frame;
}

void EditSession::goLive(std::uint64_t frame) {
  frameClock.reset();  // the real clock again
  if (player->stream && output) {
    std::unique_ptr<audio::MusicStream> live = output->createStream(player->stream->sharedMusic());
    if (live) {
      live->seek(sampleOf(frame));
      if (live->play()) player->stream = std::move(live);
    }
  }
  // The millisecond clock goes on from the frame, so the next frame delta is one frame's time.
  player->startTime = platform().milliseconds() - frameMilliseconds(frame, editFps);
  paused = false;
  onGrid = false;
}

void EditSession::pause() {
  if (paused) return;
  if (player->stream) player->stream->pause();
  pausedSeconds = musicTime;
  pausedAt = platform().milliseconds();
  paused = true;
  onGrid = false;
}

void EditSession::resume() {
  if (!paused) return;
  if (onGrid) {
    goLive(pausedFrame);
    return;
  }
  player->startTime += platform().milliseconds() - pausedAt;
  if (player->stream) player->stream->play();
  paused = false;
}

void EditSession::seek(std::uint64_t frame) { rebuild(frame, paused); }

void EditSession::reload(bool musicChanged) {
  findingsDue = true;
  if (musicChanged) {
    std::shared_ptr<audio::DecodedMusic> opened = audio::DecodedMusic::open(musicPath);
    music = opened;
  }
  rebuild(currentFrame(), paused);
}

std::uint64_t EditSession::currentFrame() const {
  if (paused && onGrid) return pausedFrame;
  return frameNearest(paused ? pausedSeconds : musicTime);
}

double EditSession::currentSeconds() const {
  if (paused) return onGrid ? static_cast<double>(pausedFrame) / editFps : pausedSeconds;
  return musicTime;
}

double EditSession::showLength() const {
  double length = music ? static_cast<double>(music->length()) / audio::sampleRate : 0.0;
  for (double time : lineTimes) length = std::max(length, time);
  return length;
}

std::optional<std::uint64_t> lastFrameOf(double length) {
  if (!(length > 0.0)) return std::nullopt;
  return frameNearest(length);
}

void EditSession::take(EditKey key) {
  switch (key) {
    case EditKey::pause:
      if (paused) {
        resume();
      } else {
        pause();
      }
      return;
    case EditKey::stepBack:
    case EditKey::stepForward:
      if (!paused) return;
      if (key == EditKey::stepForward && onGrid) {
        // One frame on from the paused one is the next frame of a capture: no rebuild needed.
        drawOnGrid(pausedFrame + 1);
        return;
      }
      seek(*seekTarget(key, currentFrame(), std::nullopt));
      return;
    case EditKey::loopStart:
      loop.start = currentFrame();
      if (loop.end && *loop.end <= loop.start) loop.end.reset();
      return;
    case EditKey::loopEnd:
      if (currentFrame() > loop.start) loop.end = currentFrame();
      return;
    case EditKey::loopToggle:
      loop.on = !loop.on;
      return;
    case EditKey::overlay:
      showOverlay = !showOverlay;
      return;
    case EditKey::reload:
      reload(false);
      return;
    case EditKey::restart:
      findingsDue = true;
      music = audio::DecodedMusic::open(musicPath);
      rebuild(0, false);
      return;
    case EditKey::fullscreen: {
      const bool full = (SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN) != 0;
      SDL_SetWindowFullscreen(shell.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
      return;
    }
    default:
      if (const auto target = seekTarget(key, currentFrame(), lastFrameOf(showLength()))) seek(*target);
      return;
  }
}

void EditSession::takeEvents(bool& done) {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_QUIT) {
      done = true;
      continue;
    }
    if (overlay && overlay->take(event)) continue;
    handleEvent(event);
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) resized = true;
    if (event.type != SDL_KEYDOWN || isSystemKey(event.key.keysym)) continue;
    const EditKey key = editKeyFor(virtualKey(event.key.keysym), (event.key.keysym.mod & KMOD_SHIFT) != 0);
    // Held down, only the keys that move through the show repeat.
    const bool moves = key == EditKey::back || key == EditKey::forward || key == EditKey::backFar ||
                       key == EditKey::forwardFar || key == EditKey::stepBack || key == EditKey::stepForward;
    if (key != EditKey::none && (event.key.repeat == 0 || moves)) keys.push_back(key);
  }
  if (shell.active && shell.keys[virtualKeyEscape]) done = true;
}

void EditSession::refreshLoudness() {
  if (!music) {
    levels.clear();
    levelsOf = nullptr;
    return;
  }
  if (levelsOf == music.get() || !music->complete()) return;
  levels = loudness(music->samples(), music->decodedFrames(), 1024);
  levelsOf = music.get();
}

void EditSession::listFindings() {
  findings.clear();
  for (const Finding& finding : checkShow()) findings.push_back(formatFinding(finding));
  // The check makes and deletes objects of its own; the show's drawing state must not feel it.
  SDL_GL_MakeCurrent(shell.window, shell.context);
}

void EditSession::drawFrame() {
  int width = 0;
  int height = 0;
  drawableSize(width, height);
  if (paused) {
    if (!snapshot.show(width, height)) {
      // The window changed size under the picture: it is drawn again at the new size next pass.
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      resized = true;
    }
  } else {
    if (auto* manual = dynamic_cast<audio::ManualStream*>(player->stream.get())) {
      // No sound device: the music is positioned by the clock, so the spectrum still follows.
      manual->setSeconds(secondsBetween(player->startTime, platform().milliseconds()));
    }
    player->runFrame();
    snapshot.take(width, height);
  }
  if (showOverlay) {
    refreshLoudness();
    OverlayView view;
    view.seconds = currentSeconds();
    view.length = showLength();
    view.paused = paused;
    view.loop = loop;
    view.loudness = &levels;
    view.lineTimes = &lineTimes;
    view.messages = &showMessages().lines();
    view.findings = &findings;
    SDL_GL_MakeCurrent(shell.window, overlayContext);
    overlaySeek = overlay->draw(view);
  }
  SDL_GL_SwapWindow(shell.window);
  SDL_GL_MakeCurrent(shell.window, shell.context);
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
  if (findingsDue) {
    // After the first frame: the check compiles every shader again, and the new frame comes first.
    findingsDue = false;
    listFindings();
  }
  if (paused) return;
  if (player->ended) {
    pause();
    showMessages().note("edit: the script's END; paused here");
    return;
  }
  if (const auto start = loop.wrap(musicTime)) rebuild(*start, false);
}

int EditSession::run() {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  shell.fullscreen = false;
  if (!createWindow()) return 1;
  if (options.width != windowWidth || options.height != windowHeight) {
    SDL_SetWindowSize(shell.window, options.width, options.height);
  }
  int width = 0;
  int height = 0;
  drawableSize(width, height);
  resizeView(width, height);

  MessageLog::install();
  Platform hooks = platform();
  hooks.showMessage = noteBox;
  setPlatform(hooks);
  keepLastGoodPrograms(true);
  output = audio::AudioDevice::openDefault();
  if (!output) showMessages().note("edit: no sound output; the music is followed silently");
  music = audio::DecodedMusic::open(musicPath);
  overlayContext = SDL_GL_CreateContext(shell.window);
  if (overlayContext == nullptr) {
    std::fprintf(stderr, "%s --edit: no GL context for the overlay: %s\n", playerProgram, SDL_GetError());
    killWindow();
    return 1;
  }
  overlay = std::make_unique<Overlay>(shell.window, overlayContext);
  SDL_GL_MakeCurrent(shell.window, shell.context);
  if (!watcher.watching()) showMessages().note("edit: files are not watched; F6 reloads");

  rebuild(frameNearest(options.at), options.paused);
  findingsDue = true;
  bool done = false;
  while (!done) {
    takeEvents(done);
    if (done) break;
    for (EditKey key : std::exchange(keys, {})) take(key);
    if (overlaySeek) seek(frameNearest(*std::exchange(overlaySeek, std::nullopt)));
    watcher.poll(Clock::now());
    const std::optional<Clock::time_point> firstChange =
        watcher.changes().pending() ? std::optional(watcher.changes().firstChange()) : std::nullopt;
    const std::set<std::string> changed = watcher.changes().takeSettled(Clock::now());
    if (!changed.empty()) {
      savedAt = firstChange;
      reloadedAt = Clock::now();
      reloadCpu = processSeconds();
      reload(changed.count(musicPath) > 0);
    }
    if (resized) {
      resized = false;
      // A paused picture is drawn again at the new size.
      if (paused) rebuild(currentFrame(), true);
    }
    if (shell.active) {
      drawnAt = Clock::now();
      drawFrame();
      afterFrame();
    } else {
      SDL_Delay(10);
    }
    shell.keys.settle();
  }

  if (overlay && overlay->drawnFrames() > 0) {
    std::fprintf(stderr, "%s --edit: overlay %.3f ms of CPU per frame over %llu frames\n", playerProgram,
                 overlay->meanDrawMilliseconds(), static_cast<unsigned long long>(overlay->drawnFrames()));
  }
  player.reset();
  frameClock.reset();
  clearShowState();
  SDL_GL_MakeCurrent(shell.window, overlayContext);
  overlay.reset();
  SDL_GL_MakeCurrent(shell.window, shell.context);
  SDL_GL_DeleteContext(overlayContext);
  output.reset();
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
