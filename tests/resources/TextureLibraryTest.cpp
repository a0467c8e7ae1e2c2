#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "resources/TextureLibrary.h"
#include "tests/support/PngFixture.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Rgba = std::array<std::uint8_t, 4>;

std::string solid(Rgba colour) { return testing::encodeRgba(1, 1, {colour[0], colour[1], colour[2], colour[3]}); }

// Level 0 of a texture as GL holds it: bottom row first.
std::vector<std::uint8_t> texels(GLuint texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint width = 0;
  GLint height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
  return out;
}

std::vector<std::uint8_t> bytes(Rgba colour) { return {colour.begin(), colour.end()}; }

GLint textureParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

std::string stdoutOf(const std::function<void()>& action) {
  ::testing::internal::CaptureStdout();
  action();
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba green{0, 255, 0, 255};
constexpr Rgba blue{0, 0, 255, 255};

class TextureLoading : public testing::GlTest {
 protected:
  testing::ScratchFolder folder;
};

TEST_F(TextureLoading, TheNameAsAPathWinsOverTheTexturesFolder) {
  folder.write("logo.png", solid(red));
  folder.write("data/textures/logo.png", solid(blue));
  folder.write("data/textures/only.png", solid(green));
  folder.write("pictures/deep.png", solid({1, 2, 3, 4}));

  const GLuint logo = findTexture("logo.png");
  const GLuint only = findTexture("only.png");
  const GLuint deep = findTexture("pictures/deep.png");
  ASSERT_NE(logo, 0u);
  ASSERT_NE(only, 0u);
  ASSERT_NE(deep, 0u);
  EXPECT_EQ(texels(logo), bytes(red));
  EXPECT_EQ(texels(only), bytes(green));
  EXPECT_EQ(texels(deep), bytes({1, 2, 3, 4}));

  // A folder is not a file: the lookup goes on to "data/textures/".
  std::filesystem::create_directory("folder.png");
  folder.write("data/textures/folder.png", solid(blue));
  const GLuint behindFolder = findTexture("folder.png");
  ASSERT_NE(behindFolder, 0u);
  EXPECT_EQ(texels(behindFolder), bytes(blue));
}

TEST_F(TextureLoading, UploadsUprightAsRgba8WithLinearFiltersAndMirroredWrap) {
  // Top row red, then green, then blue at the bottom; two pixels a row.
  folder.write("stripes.png", testing::encodeRgba(2, 3, {255, 0, 0, 255, 255, 0, 0, 255,  //
                                                         0, 255, 0, 255, 0, 255, 0, 255,  //
                                                         0, 0, 255, 255, 0, 0, 255, 128}));
  glBindTexture(GL_TEXTURE_2D, 0);
  const GLuint stripes = findTexture("stripes.png");
  ASSERT_NE(stripes, 0u);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), stripes) << "a new texture is left bound";

  EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_MIRRORED_REPEAT);
  EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
  GLint width = 0;
  GLint height = 0;
  GLint alphaBits = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
  EXPECT_EQ(width, 2);
  EXPECT_EQ(height, 3);
  EXPECT_EQ(alphaBits, 8);
  EXPECT_EQ(texels(stripes), (std::vector<std::uint8_t>{0, 0, 255, 255, 0, 0, 255, 128,  //
                                                        0, 255, 0, 255, 0, 255, 0, 255,  //
                                                        255, 0, 0, 255, 255, 0, 0, 255}));
}

TEST_F(TextureLoading, AMissingFileIsReportedAtEveryRequestUntilItAppears) {
  GLuint id = 1;
  const std::string printed = stdoutOf([&] {
    id = findTexture("later.png");
    findTexture("later.png");
  });
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(printed, "Couldn't find texture: later.png\nCouldn't find texture: later.png\n");

  folder.write("data/textures/later.png", solid(green));
  const std::string afterwards = stdoutOf([&] { id = findTexture("later.png"); });
  EXPECT_NE(id, 0u);
  EXPECT_EQ(afterwards, "");
}

TEST_F(TextureLoading, UndecodableFilesPrintTheirNumberAndAreTriedAgain) {
  folder.write("empty.png", "");
  const std::string whole = solid(red);
  folder.write("cut.png", whole.substr(0, whole.size() / 2));
  GLuint empty = 1;
  GLuint cut = 1;
  const std::string printed = stdoutOf([&] {
    empty = findTexture("empty.png");
    cut = findTexture("cut.png");
    findTexture("cut.png");
  });
  EXPECT_EQ(empty, 0u);
  EXPECT_EQ(cut, 0u);
  EXPECT_EQ(printed, "Decode png failed: 1\nDecode png failed: 3\nDecode png failed: 3\n");

  folder.write("cut.png", whole);
  EXPECT_NE(findTexture("cut.png"), 0u);
}

TEST_F(TextureLoading, ARegisteredNameReturnsTheSameIdWithoutFilesOrGlState) {
  folder.write("data/textures/once.png", solid(red));
  const GLuint first = findTexture("once.png");
  ASSERT_NE(first, 0u);
  std::filesystem::remove("data/textures/once.png");

  GLuint other = 0;
  glGenTextures(1, &other);
  glBindTexture(GL_TEXTURE_2D, other);
  GLuint again = 0;
  const std::string printed = stdoutOf([&] { again = findTexture("once.png"); });
  EXPECT_EQ(again, first);
  EXPECT_EQ(printed, "");
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), other);
  glDeleteTextures(1, &other);

  // The library forgets on a restart, and the file is gone by now.
  clearTextureLibrary();
  EXPECT_EQ(stdoutOf([] { EXPECT_EQ(findTexture("once.png"), 0u); }), "Couldn't find texture: once.png\n");
}

}  // namespace
}  // namespace glowmarch
