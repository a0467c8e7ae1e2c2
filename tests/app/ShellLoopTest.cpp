// The shell with a real window, a real context and a stand-in show: what ends the loop, when frames are
// drawn, and what a restart rebuilds and empties. Events are pushed into SDL's queue as the window
// system would deliver them.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/common/View.h"
#include "app/shell/MessageBox.h"
#include "app/shell/Shell.h"
#include "app/shell/Window.h"
#include "effects/EffectRegistry.h"
#include "effects/ShowState.h"
#include "resources/ShaderLibrary.h"

namespace glowmarch {
namespace {

struct ShowRecord {
  bool fullscreenChoice = false;
  bool fullscreenWindow = false;
  bool cursorHidden = false;
  std::size_t effectsAtStart = 0;
  GLuint leftoverProgram = 0;
  GLint viewport[4] = {};
  int frames = 0;
};

// What the stand-in shows do and what they saw.
struct Story {
  std::vector<ShowRecord> shows;
  std::function<bool(int show, int frame)> onFrame;  // frames count from 1; false ends the loop
};
Story* story = nullptr;
std::vector<std::string> boxTitles;

// A fault that keeps the loop going must fail its test in seconds, not at the harness's timeout.
constexpr int frameLimit = 600;  // a show that is never ended
constexpr int showLimit = 10;    // a loop that keeps restarting
constexpr auto loopDeadline = std::chrono::seconds(60);  // a loop that neither draws nor restarts

void pushQuit() {
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}

// Ends a loop that is still running after loopDeadline, as closing the program would.
class LoopWatchdog {
 public:
  LoopWatchdog() : watcher([this] { watch(); }) {}
  ~LoopWatchdog() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    watcher.join();
  }
  bool fired() {
    std::lock_guard lock(mutex);
    return expired;
  }

 private:
  void watch() {
    std::unique_lock lock(mutex);
    if (wake.wait_for(lock, loopDeadline, [this] { return stopping; })) return;
    expired = true;
    // Again and again: a loop may take its events slowly, or start over.
    do {
      pushQuit();
    } while (!wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopping; }));
  }

  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  bool expired = false;
  std::thread watcher;
};

class StandInShow : public Show {
 public:
  StandInShow() : index(static_cast<int>(story->shows.size())) {
    ShowRecord record;
    record.fullscreenChoice = shell.fullscreen;
    record.fullscreenWindow = (SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN) != 0;
    record.cursorHidden = SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE;
    record.effectsAtStart = effects.size();
    glGetIntegerv(GL_VIEWPORT, record.viewport);
    ::testing::internal::CaptureStdout();
    record.leftoverProgram = findShaderProgram("leftover");
    ::testing::internal::GetCapturedStdout();
    story->shows.push_back(record);
    // What a show leaves behind, for the next one to not find.
    effects.store("leftover", std::make_unique<Demoeffect>());
    ::testing::internal::CaptureStdout();
    createShaderProgram("leftover", "", "", "");
    ::testing::internal::GetCapturedStdout();
    if (index == showLimit) {
      ADD_FAILURE() << "the loop kept restarting";
      pushQuit();
    }
  }

  bool runFrame() override {
    const int frame = ++story->shows[index].frames;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    if (frame > frameLimit) {
      ADD_FAILURE() << "the loop did not end";
      return false;
    }
    return story->onFrame ? story->onFrame(index, frame) : true;
  }

 private:
  int index;
};

void pushKey(SDL_Keycode symbol, SDL_Scancode scancode, bool down, Uint32 windowId) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = windowId;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = symbol;
  event.key.keysym.scancode = scancode;
  SDL_PushEvent(&event);
}

void pushKey(SDL_Keycode symbol, SDL_Scancode scancode, bool down) {
  pushKey(symbol, scancode, down, SDL_GetWindowID(shell.window));
}

void pushWindowEvent(Uint8 what, Uint32 windowId, int data1 = 0, int data2 = 0) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = windowId;
  event.window.event = what;
  event.window.data1 = data1;
  event.window.data2 = data2;
  SDL_PushEvent(&event);
}

void pushWindowEvent(Uint8 what) { pushWindowEvent(what, SDL_GetWindowID(shell.window)); }

// Answers the refused full-screen mode with Yes (run windowed); any other box is a fault here.
int answerBoxes(const SDL_MessageBoxData* box, int* buttonId) {
  boxTitles.emplace_back(box->title);
  if (std::string(box->title) == "OpenGL Rules") {
    *buttonId = 6;
    return 0;
  }
  ADD_FAILURE() << "unexpected box: " << box->title << ": " << box->message;
  return -1;
}

bool haveDisplay() {
  // The display may refuse one connection now and then.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
      const bool visible = isVisibleVideoDriver(SDL_GetCurrentVideoDriver(), std::getenv("SDL_VIDEODRIVER"));
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      if (visible) return true;
    }
    SDL_Delay(20);
  }
  return false;
}

class ShellLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay()) GTEST_SKIP() << "no display: " << SDL_GetError();
    setBoxFunction(answerBoxes);
    boxTitles.clear();
    shell.fullscreen = false;
    shell.active = true;
    shell.keys = KeyTable{};
    story = &told;
  }
  void TearDown() override {
    if (helper.joinable()) helper.join();
    setBoxFunction(nullptr);
    story = nullptr;
    clearShowState();
    // The display connection outlives every window, as in the program.
    const bool videoReady = shell.videoReady;
    shell = ShellState{};
    shell.videoReady = videoReady;
  }
  int run() {
    LoopWatchdog watchdog;
    const int code = runShell([] { return std::make_unique<StandInShow>(); });
    EXPECT_FALSE(watchdog.fired()) << "the loop was still running after " << loopDeadline.count() << " s";
    return code;
  }

  Story told;
  std::thread helper;
};

TEST_F(ShellLoop, EscapeEndsTheLoopWithoutAnotherFrameAndReleasesEverything) {
  told.onFrame = [](int, int frame) {
    if (frame == 3) pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    return true;
  };
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(told.shows.size(), 1u);
  EXPECT_EQ(told.shows[0].frames, 3);
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.context, nullptr);
  EXPECT_EQ(effects.size(), 0u) << "the registries are emptied at the end";
}

TEST_F(ShellLoop, AFrameThatEndsTheShowOrClosingTheWindowEndsTheLoop) {
  told.onFrame = [](int, int frame) { return frame < 2; };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(told.shows.at(0).frames, 2);

  told = Story{};
  told.onFrame = [](int, int frame) {
    if (frame == 4) pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    return true;
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(told.shows.at(0).frames, 4);
  EXPECT_EQ(shell.window, nullptr);
}

TEST_F(ShellLoop, F5RebuildsWindowContextAndShowWithEmptiedRegistriesOncePerKeyDown) {
  static Uint32 firstWindow = 0;
  told.onFrame = [](int show, int frame) {
    // The keys are never released: each key-down restarts once.
    if (frame == 2 && show < 2) pushKey(SDLK_F5, SDL_SCANCODE_F5, true);
    if (frame == 1 && show == 0) firstWindow = SDL_GetWindowID(shell.window);
    // An event of the destroyed window goes nowhere.
    if (frame == 1 && show == 1) pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true, firstWindow);
    if (frame == 2 && show == 2) pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    return true;
  };
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(told.shows.size(), 3u);
  for (std::size_t i = 0; i < told.shows.size(); ++i) {
    const ShowRecord& show = told.shows[i];
    SCOPED_TRACE("show " + std::to_string(i));
    // The pass that takes the restart draws its frame first.
    EXPECT_EQ(show.frames, i < 2 ? 3 : 2);
    EXPECT_FALSE(show.fullscreenChoice);
    EXPECT_FALSE(show.fullscreenWindow);
    EXPECT_EQ(show.effectsAtStart, 0u);
    EXPECT_EQ(show.leftoverProgram, 0u) << "a program of the old context must not be found";
    EXPECT_EQ(show.viewport[2], 1920);
    EXPECT_EQ(show.viewport[3], 1080);
  }
  EXPECT_TRUE(boxTitles.empty());
}

TEST_F(ShellLoop, F1RestartsWithTheOtherDisplayChoiceEachTime) {
  told.onFrame = [](int show, int frame) {
    if (frame == 1 && show < 2) pushKey(SDLK_F1, SDL_SCANCODE_F1, true);
    if (frame == 1 && show == 2) pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    return true;
  };
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(told.shows.size(), 3u);
  EXPECT_FALSE(told.shows[0].fullscreenWindow);
  const ShowRecord& second = told.shows[1];
  if (boxTitles.empty()) {
    EXPECT_TRUE(second.fullscreenChoice);
    EXPECT_TRUE(second.fullscreenWindow);
    EXPECT_TRUE(second.cursorHidden);
  } else {
    // This display has no 1920 x 1080 mode: every switch to full screen was refused and answered
    // with Yes, so the next F1 asks again.
    for (const std::string& title : boxTitles) EXPECT_EQ(title, "OpenGL Rules");
    EXPECT_FALSE(second.fullscreenChoice);
    EXPECT_FALSE(second.fullscreenWindow);
    return;
  }
  EXPECT_FALSE(told.shows[2].fullscreenChoice);
  EXPECT_FALSE(told.shows[2].fullscreenWindow);
  EXPECT_FALSE(told.shows[2].cursorHidden);
}

TEST_F(ShellLoop, WhileMinimisedNoFrameIsDrawnAndEscapeWaitsForTheRestore) {
  const auto start = std::chrono::steady_clock::now();
  told.onFrame = [this](int, int frame) {
    if (frame == 2) {
      pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
      pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
      const Uint32 window = SDL_GetWindowID(shell.window);
      helper = std::thread([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        pushWindowEvent(SDL_WINDOWEVENT_RESTORED, window);
      });
    }
    return true;
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(told.shows.at(0).frames, 2);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

TEST_F(ShellLoop, F5RestartsEvenWhileMinimisedAndTheNewWindowDraws) {
  told.onFrame = [](int show, int frame) {
    if (show == 0 && frame == 1) {
      pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
      pushKey(SDLK_F5, SDL_SCANCODE_F5, true);
    }
    if (show == 1 && frame == 3) pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    return true;
  };
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(told.shows.size(), 2u);
  EXPECT_EQ(told.shows[0].frames, 1);
  EXPECT_EQ(told.shows[1].frames, 3);
}

TEST_F(ShellLoop, AKeyTappedWithinOneFrameStillActsOnce) {
  told.onFrame = [](int show, int frame) {
    // Pressed and released before the loop looks, as a quick tap during a slow frame.
    if (show == 0 && frame == 1) {
      pushKey(SDLK_F5, SDL_SCANCODE_F5, true);
      pushKey(SDLK_F5, SDL_SCANCODE_F5, false);
    }
    if (show == 1 && frame == 2) {
      pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
      pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, false);
    }
    return true;
  };
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(told.shows.size(), 2u);
  EXPECT_EQ(told.shows[0].frames, 2);
  EXPECT_EQ(told.shows[1].frames, 2);
}

TEST_F(ShellLoop, EscapeTappedWhileMinimisedHasNoEffect) {
  told.onFrame = [this](int, int frame) {
    if (frame == 2) {
      pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
      pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
      pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, false);
      const Uint32 window = SDL_GetWindowID(shell.window);
      helper = std::thread([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pushWindowEvent(SDL_WINDOWEVENT_RESTORED, window);
      });
    }
    return frame < 4;
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(told.shows.at(0).frames, 4);
}

TEST_F(ShellLoop, LosingTheFocusOrAnAltKeyKeepsTheShowRunning) {
  told.onFrame = [](int, int frame) {
    if (frame == 1) {
      pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
      // Alt+F5 is a system key and restarts nothing.
      SDL_Event alt{};
      alt.type = SDL_KEYDOWN;
      alt.key.windowID = SDL_GetWindowID(shell.window);
      alt.key.keysym.sym = SDLK_F5;
      alt.key.keysym.scancode = SDL_SCANCODE_F5;
      alt.key.keysym.mod = KMOD_LALT;
      SDL_PushEvent(&alt);
    }
    return frame < 5;
  };
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(told.shows.size(), 1u);
  EXPECT_EQ(told.shows[0].frames, 5);
}

class CreateWindow : public ShellLoop {};

TEST_F(CreateWindow, GivesA1920By1080WindowAn33CompatibilityContextAndTheShowProjection) {
  ASSERT_TRUE(createWindow());
  EXPECT_STREQ(SDL_GetWindowTitle(shell.window), "Glowmarch");
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(shell.window, &width, &height);
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1080);
  EXPECT_EQ(SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_NE(SDL_GetWindowFlags(shell.window) & SDL_WINDOW_SHOWN, 0u);

  int value = 0;
  SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &value);
  EXPECT_EQ(value, 1);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &value);
  EXPECT_GE(value, 24);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &value);
  EXPECT_GE(value, 8);
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &value);
  EXPECT_GE(value, 8);
  GLint major = 0;
  GLint minor = 0;
  GLint profile = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
  EXPECT_TRUE(major > 3 || (major == 3 && minor >= 3)) << major << "." << minor;
  EXPECT_NE(profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, 0);
  EXPECT_NE(glCreateProgram, nullptr) << "GLEW loaded the entry points";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 1920);
  EXPECT_EQ(viewport[3], 1080);
  GLint matrixMode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
  EXPECT_EQ(matrixMode, GL_MODELVIEW);
  GLfloat projection[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  const double focal = 1.0 / std::tan(45.0 / 2.0 * M_PI / 180.0);
  const double nearPlane = 0.1f;
  EXPECT_NEAR(projection[0], focal / (1920.0 / 1080.0), 1e-5);
  EXPECT_NEAR(projection[5], focal, 1e-5);
  EXPECT_NEAR(projection[10], (1000.0 + nearPlane) / (nearPlane - 1000.0), 1e-5);
  EXPECT_NEAR(projection[14], 2.0 * 1000.0 * nearPlane / (nearPlane - 1000.0), 1e-5);

  // A size change reaches the view; a zero height counts as one.
  pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, SDL_GetWindowID(shell.window), 640, 0);
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) handleEvent(event);
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 640);
  EXPECT_EQ(viewport[3], 1);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[0], focal / 640.0, 1e-7);

  killWindow();
  EXPECT_EQ(shell.window, nullptr);
  EXPECT_EQ(shell.context, nullptr);
}

TEST_F(CreateWindow, FullScreenHidesTheCursorAndRestoringTheDisplayUndoesBoth) {
  shell.fullscreen = true;
  ASSERT_TRUE(createWindow());
  if (!boxTitles.empty()) {
    killWindow();
    GTEST_SKIP() << "this display has no 1920 x 1080 mode";
  }
  EXPECT_NE(SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  restoreDisplay();
  EXPECT_EQ(SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  killWindow();
}

std::vector<std::string> errorBoxes;
int recordErrorBoxes(const SDL_MessageBoxData* box, int* buttonId) {
  errorBoxes.push_back(std::string(box->title) + ": " + box->message);
  *buttonId = 1;
  return 0;
}

// Mesa's version override caps the context below 3.3; it is read once per process, hence a child.
TEST_F(CreateWindow, AContextBelow33CompatibilityIsAFailureWithItsMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("MESA_GL_VERSION_OVERRIDE", "3.0", 1);
        setBoxFunction(recordErrorBoxes);
        const bool created = createWindow();
        const bool released = shell.window == nullptr && shell.context == nullptr;
        for (const std::string& box : errorBoxes) std::fprintf(stderr, "[%s]\n", box.c_str());
        std::exit(!created && released && errorBoxes.size() == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "\\[ERROR: Can't Create a GL 3.x Rendering Context.\\]");
}

}  // namespace
}  // namespace glowmarch
