#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/Camera.h"
#include "effects/FrameValues.h"
#include "effects/Text.h"
#include "tests/support/PngFixture.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using Rgba = std::array<std::uint8_t, 4>;
constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba clear{0, 0, 0, 0};

// A 256 x 256 font whose only visible glyph is "A" (cell 65: column 1, row 4 from the top), solid red.
std::string redAFont() {
  constexpr int size = 256;
  constexpr int cell = 16;
  std::vector<std::uint8_t> rgba(size * size * 4, 0);
  for (int y = 4 * cell; y < 5 * cell; ++y) {
    for (int x = 1 * cell; x < 2 * cell; ++x) {
      std::uint8_t* p = &rgba[(y * size + x) * 4];
      p[0] = 255;
      p[3] = 255;
    }
  }
  return testing::encodeRgba(size, size, rgba);
}

struct Counting : Demoeffect {
  int draws = 0;
  void draw() override { ++draws; }
};

class TextTest : public testing::GlTest {
 protected:
  testing::ScratchFolder folder;

  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    plainState();
  }
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    plainState();  // the camera leaves lighting on
    GlTest::TearDown();
  }
  static void plainState() {
    for (GLenum capability : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D, GL_BLEND}) {
      glDisable(capability);
    }
  }

  // Draws `text` seen by a camera at `eye` looking along -Z, as the frame loop draws the scene.
  void drawSeenFrom(Text& text, float x, float y, float z) {
    Camera camera;
    camera.transform.point[0] = x;
    camera.transform.point[1] = y;
    camera.transform.point[2] = z;
    camera.addChild(&text);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    camera.draw();
  }
};

std::string printedBy(const std::function<void()>& action) {
  ::testing::internal::CaptureStdout();
  action();
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

void setLocal(Demoeffect& effect, std::string parameter) { effect.local(0.0f, parameter.data()); }

TEST_F(TextTest, TextReplacesAppendAddsAndOtherWordsAreReportedWithoutALineEnd) {
  std::unique_ptr<Text> text;
  EXPECT_EQ(printedBy([&] { text = std::make_unique<Text>(); }), "Couldn't find texture: profont.png\n");
  EXPECT_EQ(text->texture, 0u);
  EXPECT_EQ(text->shader, 0u);
  EXPECT_EQ(text->text, "");

  setLocal(*text, "text;Hello");
  setLocal(*text, "append;World");
  EXPECT_EQ(text->text, "HelloWorld");
  setLocal(*text, "text;cut;here");
  EXPECT_EQ(text->text, "cut");
  setLocal(*text, "text");  // no value to read: nothing changes
  EXPECT_EQ(text->text, "cut");
  EXPECT_EQ(printedBy([&] { setLocal(*text, "colour;red"); }), "failed local: colour red");
  EXPECT_EQ(printedBy([&] { setLocal(*text, "Text;x"); }), "failed local: Text x");
  EXPECT_EQ(text->text, "cut");
  // The frame loop's rate text holds a space.
  setLocal(*text, "text;59.940000 fps");
  EXPECT_EQ(text->text, "59.940000 fps");

  const std::unique_ptr<Demoeffect> copy = text->clone();
  auto* copied = dynamic_cast<Text*>(copy.get());
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->text, "59.940000 fps");
  setLocal(*text, "text;");
  EXPECT_EQ(text->text, "");
  EXPECT_EQ(copied->text, "59.940000 fps");
}

TEST_F(TextTest, EveryTextSharesTheFontLoadedOnce) {
  folder.write("data/textures/profont.png", redAFont());
  Text first;
  ASSERT_NE(first.texture, 0u);
  std::filesystem::remove("data/textures/profont.png");
  std::unique_ptr<Text> second;
  EXPECT_EQ(printedBy([&] { second = std::make_unique<Text>(); }), "");
  EXPECT_EQ(second->texture, first.texture);
  EXPECT_EQ(first.clone()->texture, first.texture);
}

TEST_F(TextTest, TheGlyphOfFontCellSixtyFiveLandsWhereTheTextStands) {
  folder.write("data/textures/profont.png", redAFont());
  Text text;
  setLocal(text, "text;A");
  // The glyph spans x 0..0.5 and y 0..1; look at its centre from 3 units away.
  drawSeenFrom(text, 0.25f, 0.5f, 3.0f);
  // 64 pixels show 2 * 3 * tan(22.5 degrees) = 2.485 units: the glyph covers about
  // columns 25.6..38.4 and rows 19.1..44.9.
  const std::vector<std::uint8_t> frame = gl().readAll();
  int redPixels = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint8_t* p = &frame[(y * 64 + x) * 4];
      const Rgba pixel{p[0], p[1], p[2], p[3]};
      const bool inside = x >= 27 && x <= 36 && y >= 20 && y <= 43;
      const bool outside = x < 25 || x > 38 || y < 18 || y > 45;
      if (inside) {
        EXPECT_EQ(pixel, red) << x << "," << y;
      }
      if (outside) {
        EXPECT_EQ(pixel, clear) << x << "," << y;
      }
      if (pixel == red) ++redPixels;
    }
  }
  EXPECT_GE(redPixels, 12 * 26 - 2 * (12 + 26));

  // "B" shows its own, transparent, cell: nothing at all.
  setLocal(text, "text;B");
  drawSeenFrom(text, 0.25f, 0.5f, 3.0f);
  const std::vector<std::uint8_t> blank = gl().readAll();
  EXPECT_EQ(blank, std::vector<std::uint8_t>(blank.size(), 0));
}

TEST_F(TextTest, EachByteAdvancesHalfAUnit) {
  folder.write("data/textures/profont.png", redAFont());
  Text text;
  setLocal(text, "text;AAA");
  // Three glyphs span x 0..1.5: from the middle, columns 12.7..51.3.
  drawSeenFrom(text, 0.75f, 0.5f, 3.0f);
  int first = -1;
  int last = -1;
  for (int x = 0; x < 64; ++x) {
    if (gl().pixel(x, 32)[0] > 0) {
      if (first < 0) first = x;
      last = x;
    }
  }
  EXPECT_NEAR(first, 13, 1);
  EXPECT_NEAR(last, 51, 1);
  EXPECT_EQ(gl().pixel(32, 32), red);
}

TEST_F(TextTest, EmptyTextDrawsNothingNotEvenItsChildrenOrItsMotion) {
  folder.write("data/textures/profont.png", redAFont());
  Text text;
  Counting child;
  text.addChild(&child);
  text.transform.deltaPoint[0] = 1.0f;
  frameDelta = 1.0;

  text.draw();
  EXPECT_EQ(child.draws, 0);
  EXPECT_EQ(text.transform.point[0], 0.0f);

  setLocal(text, "text;A");
  text.draw();
  EXPECT_EQ(child.draws, 1);
  EXPECT_EQ(text.transform.point[0], 1.0f);

  setLocal(text, "text;");
  text.draw();
  EXPECT_EQ(child.draws, 1);
  EXPECT_EQ(text.transform.point[0], 1.0f);
}

TEST_F(TextTest, TexturingAndBlendingAreLeftAsTheyWere) {
  folder.write("data/textures/profont.png", redAFont());
  Text text;
  setLocal(text, "text;A");
  text.draw();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint source = 0;
  GLint destination = 0;
  glGetIntegerv(GL_BLEND_SRC_RGB, &source);
  glGetIntegerv(GL_BLEND_DST_RGB, &destination);
  EXPECT_EQ(source, GL_SRC_ALPHA);
  EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);

  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  text.draw();
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(TextTest, GlyphsUseTheFontEvenAfterAChildBoundAnotherTexture) {
  folder.write("data/textures/profont.png", redAFont());
  Text text;
  setLocal(text, "text;A");
  // A child that binds a texture of its own: solid green.
  GLuint green = 0;
  glGenTextures(1, &green);
  glBindTexture(GL_TEXTURE_2D, green);
  const std::uint8_t texel[4] = {0, 255, 0, 255};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  Demoeffect child;
  child.texture = green;
  text.addChild(&child);

  drawSeenFrom(text, 0.25f, 0.5f, 3.0f);
  EXPECT_EQ(gl().pixel(32, 32), red);
  glDeleteTextures(1, &green);
}

}  // namespace
}  // namespace glowmarch
