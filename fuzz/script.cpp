// Fuzzes the timeline as the player runs it: the input is the script file. It is read, listed and
// its start-up lines run, then a few frames run its timed lines and draw the scene on a real GL
// context; then the show check (--check) reads the same script. The show's files (shaders, pictures,
// meshes) are a copy of fuzz/show.
// With FUZZ_GL_ERRORS set, a GL error left after a frame counts as a crash too.
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL2/SDL.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/check/ResourceProbe.h"
#include "app/check/ScriptCheck.h"
#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/ParticleLayout.h"
#include "effects/ShowState.h"
#include "resources/OffscreenTarget.h"
#include "resources/ShaderLibrary.h"
#include "resources/TextureLibrary.h"
#include "timeline/FrameLoop.h"
#include "timeline/Platform.h"
#include "tests/support/GlContext.h"
#include "timeline/Player.h"

namespace {

namespace fs = std::filesystem;
using namespace glowmarch;

constexpr int targetSize = 64;
// The player never deletes a GL object; a fresh context every so many inputs frees them all.
constexpr int inputsPerContext = 64;
// The clock at each frame after start-up, in milliseconds: timed lines up to a minute run.
constexpr std::uint32_t frameTimes[] = {20, 520, 1020, 2500, 5000, 10000, 60000};

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
int inputsOnContext = 0;
std::uint32_t clockNow = 0;
fs::path showFolder;

std::uint32_t fakeClock() { return clockNow; }
void ignoreMessage(const char*, const char*) {}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "script fuzzer: %s: %s\n", what, SDL_GetError());
  std::abort();
}

// A context of its own with an offscreen target, as the tests draw.
void renewContext() {
  SDL_GLContext previous = context;
  context = SDL_GL_CreateContext(window);
  if (context == nullptr) fail("GL context");
  if (previous != nullptr) SDL_GL_DeleteContext(previous);
  static const bool loaded = [] {
    glewExperimental = GL_TRUE;
    return glewInit() == GLEW_OK;
  }();
  if (!loaded) fail("GLEW");
  OffscreenTarget target;
  if (!createOffscreenTarget(target, targetSize, targetSize)) fail("offscreen framebuffer");
  glViewport(0, 0, targetSize, targetSize);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 0.1, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  inputsOnContext = 0;
}

// Every process-wide registry and value as at the start of the process, and the fixed-function
// state an earlier input may have left on.
void freshShow() {
  clearShowState();
  elapsedTime = 0.0;
  clockNow = 0;
  if (++inputsOnContext > inputsPerContext) renewContext();
  testing::GlContext::resetDrawingState();
  while (glGetError() != GL_NO_ERROR) {
  }
}

void removeShowFolder() {
  std::error_code ignored;
  fs::remove_all(showFolder, ignored);
}

// The show runs in its folder; libFuzzer's own paths (corpus, artifacts) are relative to the caller's.
class InShowFolder {
 public:
  InShowFolder() : previous(fs::current_path()) { fs::current_path(showFolder); }
  ~InShowFolder() { fs::current_path(previous); }

 private:
  fs::path previous;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/glowmarch-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) fail("temporary folder");
  showFolder = folder;
  fs::copy(GLOWMARCH_SOURCE_DIR "/fuzz/show", showFolder, fs::copy_options::recursive);
  std::atexit(removeShowFolder);

  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) fail("SDL video");
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  window = SDL_CreateWindow("glowmarch fuzz", 0, 0, targetSize, targetSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) fail("window");
  renewContext();

  setPlatform({ignoreMessage, fakeClock});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const InShowFolder inShow;
  freshShow();
  {
    std::ofstream script(scriptPath, std::ios::binary | std::ios::trunc);
    script.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Player player{Player::NotStarted{}};
  player.init();
  for (std::uint32_t time : frameTimes) {
    clockNow = time;
    // "END" ends the show, not the fuzzer.
    if (!player.runFrame()) break;
    static const bool glErrorsCount = std::getenv("FUZZ_GL_ERRORS") != nullptr;
    if (const GLenum error = glGetError(); error != GL_NO_ERROR && glErrorsCount) {
      std::fprintf(stderr, "GL error 0x%x after the frame at %u ms\n", error, time);
      std::abort();
    }
  }
  std::vector<Finding> findings;
  ResourceProbe probe(findings);
  checkScript(std::string(reinterpret_cast<const char*>(data), size), probe, findings);
  return 0;
}
