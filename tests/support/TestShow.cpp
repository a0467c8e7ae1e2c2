#include "tests/support/TestShow.h"

#include <fstream>
#include <random>

#include "effects/ShowState.h"

namespace glowmarch::testing {

void resetShow() { clearShowState(); }

GlContext& sharedContext(int width, int height) {
  // Never destroyed: tearing the context down at exit unloads the GL driver, and the leak
  // checker then reports the driver's own allocations from an unknown module, past suppression.
  static GlContext* context = new GlContext(width, height);
  return *context;
}

void GlTest::SetUp() {
  context = &sharedContext();
  if (!context->ok()) GTEST_SKIP() << "no OpenGL context: " << context->failure();
  resetShow();
  context->bindTarget();
  // Each test starts from the same fixed-function state, whatever the previous one left on.
  GlContext::resetDrawingState();
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  GlContext::takeError();
}

void GlTest::TearDown() {
  // Without a context there is nothing to check, and emptying the show would call GL.
  if (context == nullptr || !context->ok()) return;
  EXPECT_EQ(GlContext::takeError(), static_cast<GLenum>(GL_NO_ERROR)) << "a GL call failed in this test";
  resetShow();
}

ScratchFolder::ScratchFolder() {
  std::random_device random;
  previous = std::filesystem::current_path();
  root = std::filesystem::temp_directory_path() / ("glowmarch-test-" + std::to_string(random()));
  std::filesystem::create_directories(root);
  std::filesystem::current_path(root);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous, ignored);
  std::filesystem::remove_all(root, ignored);
}

void ScratchFolder::write(const std::string& relative, std::string_view bytes) const {
  const std::filesystem::path file = root / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace glowmarch::testing
