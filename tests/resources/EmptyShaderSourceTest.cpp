// An empty shader file is compiled as an empty text, so the compiler explains what is wrong.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "resources/ShaderLibrary.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

class EmptyShaderSource : public testing::GlTest {};

TEST_F(EmptyShaderSource, FailsToCompileWithTheCompilersOwnLogAndNoGlError) {
  testing::ScratchFolder folder;
  folder.write("data/shaders/empty.frag", "");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(loadShaderSource("empty.frag"), 0u);
  std::fflush(stdout);
  const std::string output = ::testing::internal::GetCapturedStdout();
  const std::string heading = "Error compiling shader\n";
  ASSERT_EQ(output.substr(0, heading.size()), heading);
  EXPECT_GT(output.size(), heading.size()) << "the log follows";
  EXPECT_EQ(testing::GlContext::takeError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace glowmarch
