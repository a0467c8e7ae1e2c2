// The show started again and again in one process, as F5 and F1 do: the real Player with a show of
// every class (tests/app/soak) on the real shell loop, with the GL error flag read after each start
// and each frame. The music is positioned by the test, so each show takes a few frames, not seconds.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <SDL2/SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell/MessageBox.h"
#include "app/shell/Shell.h"
#include "app/shell/Window.h"
#include "audio/AudioDevice.h"
#include "effects/EffectRegistry.h"
#include "tests/support/TestShow.h"
#include "timeline/Platform.h"
#include "timeline/Player.h"
#include "timeline/Script.h"

namespace glowmarch {
namespace {

// A quarter of the restarts under AddressSanitizer keeps the sanitizer build within its time.
#if defined(__SANITIZE_ADDRESS__)
constexpr int restarts = 50;
#else
constexpr int restarts = 200;
#endif
// The shows that F1 ends instead of F5: full screen and back, twice.
const std::set<int> otherDisplayShows = {restarts / 5, restarts / 5 + 1, restarts / 2, restarts / 2 + 1};
constexpr double secondsPerFrame = 0.05;
constexpr int frameLimit = 100;  // a show whose lines never all run still ends

struct Soak {
  int shows = 0;
  int fullscreenShows = 0;
  std::vector<std::string> faults;  // the first few, with the show and frame they happened in
  std::vector<std::string> playerMessages;
};
Soak* soak = nullptr;

void fault(const std::string& what) {
  if (soak->faults.size() < 10) soak->faults.push_back("show " + std::to_string(soak->shows) + ": " + what);
}

std::string glErrors() {
  std::string errors;
  for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
    char code[16];
    std::snprintf(code, sizeof code, " 0x%04x", error);
    errors += code;
  }
  return errors;
}

void pushKey(SDL_Keycode symbol, SDL_Scancode scancode) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.windowID = SDL_GetWindowID(shell.window);
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = symbol;
  event.key.keysym.scancode = scancode;
  SDL_PushEvent(&event);
}

// The Player on an output that plays nothing: its music stands where each frame puts it.
class SoakShow : public Show {
 public:
  SoakShow() : player([] { return std::make_unique<audio::ManualDevice>(); }) {
    ++soak->shows;
    if ((SDL_GetWindowFlags(shell.window) & SDL_WINDOW_FULLSCREEN) != 0) ++soak->fullscreenShows;
    music = dynamic_cast<audio::ManualStream*>(player.stream.get());
    if (music == nullptr) fault("no music stream");
    if (const std::string errors = glErrors(); !errors.empty()) fault("GL error after the start:" + errors);
  }

  ~SoakShow() override {
    for (const ScriptLine& line : player.scriptLines) {
      if (!line.executed) fault(std::string("never ran: ") + line.text);
    }
  }

  bool runFrame() override {
    ++frame;
    if (music != nullptr) music->setSeconds(frame * secondsPerFrame);
    const bool goesOn = player.runFrame();
    if (const std::string errors = glErrors(); !errors.empty()) {
      fault("GL error in frame " + std::to_string(frame) + ":" + errors);
      return false;
    }
    if (frame >= frameLimit) {
      fault("not every line ran within " + std::to_string(frameLimit) + " frames");
      return false;
    }
    // The key goes in once every line has run and been drawn.
    if (!keyPushed && allRan()) {
      keyPushed = true;
      if (soak->shows > restarts) {
        pushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
      } else if (otherDisplayShows.count(soak->shows) != 0) {
        pushKey(SDLK_F1, SDL_SCANCODE_F1);
      } else {
        pushKey(SDLK_F5, SDL_SCANCODE_F5);
      }
    }
    return goesOn;
  }

 private:
  bool allRan() const {
    for (const ScriptLine& line : player.scriptLines) {
      if (!line.executed) return false;
    }
    return true;
  }

  Player player;
  audio::ManualStream* music = nullptr;
  int frame = 0;
  bool keyPushed = false;
};

void recordPlayerMessage(const char* text, const char* caption) {
  soak->playerMessages.push_back(std::string(caption) + ": " + text);
}

// A refused full-screen mode is answered Yes (run windowed); any other box is a fault here.
int answerBoxes(const SDL_MessageBoxData* box, int* buttonId) {
  if (std::string(box->title) == "OpenGL Rules") {
    *buttonId = 6;
    return 0;
  }
  fault(std::string("box: ") + box->title + ": " + box->message);
  *buttonId = 1;
  return 0;
}

bool haveDisplay() {
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

// The soak show in a scratch folder: its script, shaders and mesh, a picture, the font, the music.
void copySoakShow(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path source = GLOWMARCH_SOURCE_DIR;
  fs::copy(source / "tests/app/soak/data", folder / "data", fs::copy_options::recursive);
  fs::create_directories(folder / "data/textures");
  fs::copy_file(source / "tests/app/show/data/textures/swatch.png", folder / "data/textures/swatch.png");
  fs::copy_file(source / "showcase/data/textures/profont.png", folder / "data/textures/profont.png");
  fs::create_directories(folder / "data/music");
  fs::copy_file(source / "tests/audio/fixtures/tone440.mp3", folder / "data/music/QX07Synthpop_FINAL.mp3");
}

// The lines each start lists: the script's lines with their times, read apart from any Player
// (running a line cuts its text into words).
std::set<std::string> scriptListing() {
  std::unique_ptr<char[]> text;
  std::uint64_t size = 0;
  std::set<std::string> listing;
  if (!readScriptFile(text, size)) return listing;
  char line[512];
  for (const ScriptLine& scriptLine : splitScript(text.get(), size)) {
    std::snprintf(line, sizeof line, "%s %f", scriptLine.text, scriptLine.time);
    listing.insert(line);
  }
  return listing;
}

TEST(RestartSoak, EveryStartOfAnEveryClassShowDrawsWithoutGlErrorsOrMessages) {
  if (!haveDisplay()) GTEST_SKIP() << "no display: " << SDL_GetError();
  testing::ScratchFolder folder;
  copySoakShow(folder.path());
  const std::set<std::string> listing = scriptListing();
  ASSERT_FALSE(listing.empty());

  Soak told;
  soak = &told;
  const Platform previousPlatform = platform();
  Platform hooks = previousPlatform;
  hooks.showMessage = recordPlayerMessage;
  setPlatform(hooks);
  setBoxFunction(answerBoxes);
  shell.fullscreen = false;
  shell.active = true;
  shell.keys = KeyTable{};

  ::testing::internal::CaptureStdout();
  const int code = runShell([] { return std::make_unique<SoakShow>(); });
  std::fflush(stdout);
  const std::string printed = ::testing::internal::GetCapturedStdout();

  setBoxFunction(nullptr);
  setPlatform(previousPlatform);
  soak = nullptr;
  const bool videoReady = shell.videoReady;
  shell = ShellState{};
  shell.videoReady = videoReady;

  EXPECT_EQ(code, 0);
  EXPECT_EQ(told.shows, restarts + 1);
  EXPECT_TRUE(told.faults.empty()) << ::testing::PrintToString(told.faults);
  EXPECT_TRUE(told.playerMessages.empty()) << ::testing::PrintToString(told.playerMessages);
  EXPECT_EQ(effects.size(), 0u) << "the registries are emptied at the end";
  // On a display with the 1920 x 1080 mode, each F1 pair gave one show in full screen.
  if (told.fullscreenShows != 0) {
    EXPECT_EQ(told.fullscreenShows, 2);
  }

  // Only the listing and the "Doing: " lines: no diagnostic from any start.
  std::istringstream lines(printed);
  std::string line;
  int listed = 0;
  int unexpected = 0;
  while (std::getline(lines, line)) {
    if (listing.count(line) != 0) {
      ++listed;
    } else if (line.rfind("Doing: ", 0) != 0 && ++unexpected <= 5) {
      ADD_FAILURE() << "unexpected output: " << line;
    }
  }
  EXPECT_EQ(listed, static_cast<int>(listing.size()) * (restarts + 1));
}

}  // namespace
}  // namespace glowmarch
