#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/Camera.h"
#include "effects/Image.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Rgba = std::array<std::uint8_t, 4>;
constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba green{0, 255, 0, 255};
constexpr Rgba white{255, 255, 255, 255};
constexpr Rgba clear{0, 0, 0, 0};

class ImageTest : public testing::GlTest {
 protected:
  std::vector<GLuint> made;

  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    plainState();
  }
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    plainState();  // the camera leaves lighting on
    if (!made.empty()) glDeleteTextures(static_cast<GLsizei>(made.size()), made.data());
    GlTest::TearDown();
  }
  static void plainState() {
    for (GLenum capability : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D, GL_BLEND}) {
      glDisable(capability);
    }
  }

  // One row of texels, left to right, filtered linearly as the library makes them.
  GLuint textureRow(const std::vector<Rgba>& texels) {
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(texels.size()), 1, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    made.push_back(id);
    return id;
  }

  // Seen from 3 units in front of its centre: one unit is 25.75 pixels of the 64 x 64 target.
  void drawFromFront(Image& image) {
    Camera camera;
    camera.transform.point[2] = 3.0f;
    camera.addChild(&image);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    camera.draw();
  }

  std::vector<Rgba> row(int y) {
    std::vector<Rgba> pixels;
    for (int x = 0; x < 64; ++x) pixels.push_back(gl().pixel(x, y));
    return pixels;
  }
  std::vector<Rgba> column(int x) {
    std::vector<Rgba> pixels;
    for (int y = 0; y < 64; ++y) pixels.push_back(gl().pixel(x, y));
    return pixels;
  }
};

int countOf(const std::vector<Rgba>& pixels, Rgba colour) {
  int count = 0;
  for (const Rgba& pixel : pixels) count += pixel == colour;
  return count;
}

void setLocal(Demoeffect& effect, std::string parameter) { effect.local(0.0f, parameter.data()); }

TEST_F(ImageTest, AspectIsReadAsANumberAndOtherWordsAreIgnoredQuietly) {
  Image image;
  EXPECT_EQ(image.aspect, 1.0);
  EXPECT_EQ(image.shader, 0u);
  ::testing::internal::CaptureStdout();
  setLocal(image, "aspect;1.777");
  EXPECT_DOUBLE_EQ(image.aspect, 1.777);
  setLocal(image, "aspect");  // no value to read: nothing changes
  EXPECT_DOUBLE_EQ(image.aspect, 1.777);
  setLocal(image, "width;3");
  setLocal(image, "Aspect;3");
  EXPECT_DOUBLE_EQ(image.aspect, 1.777);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

  const std::unique_ptr<Demoeffect> copy = image.clone();
  auto* copied = dynamic_cast<Image*>(copy.get());
  ASSERT_NE(copied, nullptr);
  EXPECT_DOUBLE_EQ(copied->aspect, 1.777);
  setLocal(image, "aspect;wide");
  EXPECT_EQ(image.aspect, 0.0);
  EXPECT_DOUBLE_EQ(copied->aspect, 1.777);
}

TEST_F(ImageTest, AspectTwoCoversTwiceTheWidthOfAspectOne) {
  Image image;
  image.texture = textureRow({red});
  drawFromFront(image);
  const int narrow = countOf(row(32), red);
  const int narrowHeight = countOf(column(32), red);
  EXPECT_NEAR(narrow, 25.75, 1.0);
  EXPECT_NEAR(narrowHeight, 25.75, 1.0);

  setLocal(image, "aspect;2");
  drawFromFront(image);
  const int wide = countOf(row(32), red);
  EXPECT_NEAR(wide, 2 * narrow, 1.0);
  EXPECT_EQ(countOf(column(32), red), narrowHeight);
  const std::vector<Rgba> middle = row(32);
  // Centred: x from -1 to 1 is columns 6.25 to 57.75.
  EXPECT_EQ(middle[5], clear);
  EXPECT_EQ(middle[6], red);
  EXPECT_EQ(middle[57], red);
  EXPECT_EQ(middle[58], clear);

  setLocal(image, "aspect;0");
  drawFromFront(image);
  EXPECT_EQ(countOf(row(32), red), 0);
}

TEST_F(ImageTest, SamplesNearestWhileDrawingAndLinearAfterwards) {
  Image image;
  image.texture = textureRow({red, green});
  glBindTexture(GL_TEXTURE_2D, image.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

  // Magnified 13 times, linear filtering would blend a band of red into green in the middle.
  drawFromFront(image);
  const std::vector<Rgba> middle = row(32);
  EXPECT_EQ(countOf(middle, red) + countOf(middle, green) + countOf(middle, clear), 64);
  EXPECT_EQ(middle[25], red);
  EXPECT_EQ(middle[38], green);

  GLint minFilter = 0;
  GLint magFilter = 0;
  glBindTexture(GL_TEXTURE_2D, image.texture);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  EXPECT_EQ(minFilter, GL_LINEAR);
  EXPECT_EQ(magFilter, GL_LINEAR);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  // A negative aspect mirrors the picture.
  setLocal(image, "aspect;-1");
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  drawFromFront(image);
  EXPECT_EQ(gl().pixel(25, 32), green);
  EXPECT_EQ(gl().pixel(38, 32), red);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(ImageTest, ChildrenAreDrawnFirstAndTheImageKeepsItsOwnTexture) {
  Image parent;
  parent.texture = textureRow({red});
  Image child;
  child.texture = textureRow({green});
  child.transform.point[0] = 1.0f;  // half of it sticks out to the right
  parent.addChild(&child);

  drawFromFront(parent);
  EXPECT_EQ(gl().pixel(32, 32), red) << "the parent's quad is drawn last, with its own texture";
  EXPECT_EQ(gl().pixel(52, 32), green);
}

GLuint compile(GLenum type, const char* source) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

TEST_F(ImageTest, AChildsProgramDoesNotPaintTheImage) {
  const GLuint vertex = compile(GL_VERTEX_SHADER,
                                "#version 120\nvoid main() { gl_Position = ftransform(); }\n");
  const GLuint fragment = compile(GL_FRAGMENT_SHADER,
                                  "#version 120\nvoid main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0); }\n");
  const GLuint blueProgram = glCreateProgram();
  glAttachShader(blueProgram, vertex);
  glAttachShader(blueProgram, fragment);
  glLinkProgram(blueProgram);
  GLint linked = 0;
  glGetProgramiv(blueProgram, GL_LINK_STATUS, &linked);
  ASSERT_EQ(linked, GL_TRUE);

  Image image;
  image.texture = textureRow({red});
  Image child;
  child.shader = blueProgram;
  child.transform.point[0] = 1.0f;
  image.addChild(&child);
  drawFromFront(image);
  EXPECT_EQ(gl().pixel(32, 32), red) << "the image draws with its own program, none";
  EXPECT_EQ(gl().pixel(52, 32), (Rgba{0, 0, 255, 255}));

  glUseProgram(0);
  glDeleteProgram(blueProgram);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
}

TEST_F(ImageTest, TranslucentTexelsBlendOverWhatIsBehind) {
  Image image;
  image.texture = textureRow({{0, 0, 255, 128}});
  glClearColor(1, 1, 1, 1);
  drawFromFront(image);
  glClearColor(0, 0, 0, 0);
  const Rgba mixed = gl().pixel(32, 32);
  EXPECT_NEAR(mixed[0], 127, 2);
  EXPECT_EQ(mixed[2], 255);

  // Without a texture the quad is plain white.
  Image bare;
  drawFromFront(bare);
  EXPECT_EQ(gl().pixel(32, 32), white);
}

}  // namespace
}  // namespace glowmarch
