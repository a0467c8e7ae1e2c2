// Shows built one after another in one context with resources kept, as the edit mode reloads: what
// did not change on disk is taken again, what changed is made anew, what no show holds is deleted,
// and saved shaders replace programs in place under a show that stands.
#include <GL/glew.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/ShowState.h"
#include "resources/KeptResources.h"
#include "resources/ShaderLibrary.h"
#include "tests/support/PngFixture.h"
#include "tests/support/ScriptRunner.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

constexpr const char* meshVertex =
    "#version 330 compatibility\n"
    "in vec3 in_position;\n"
    "void main() { gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0); }\n";
constexpr const char* quadVertex =
    "#version 330 compatibility\n"
    "void main() { gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }\n";

std::string colourShader(const char* rgb) {
  return std::string("#version 330 compatibility\nuniform int state;\nout vec4 colour;\n") +
         "void main() { colour = vec4(" + rgb + ", float(state) / 8.0, 1.0); }\n";
}

std::vector<GLuint> attachedStages(GLuint program) {
  GLuint stages[8] = {};
  GLsizei count = 0;
  glGetAttachedShaders(program, 8, &count, stages);
  return std::vector<GLuint>(stages, stages + count);
}

class KeptResources : public testing::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    keepResourcesAcrossShows(true);
    keepLastGoodPrograms(true);
  }
  void TearDown() override {
    keepResourcesAcrossShows(false);
    keepLastGoodPrograms(false);
    GlTest::TearDown();
  }

  // Runs the lines in a new show and returns everything they printed.
  std::string build(testing::ScriptRunner& show, const std::vector<std::string>& lines) {
    std::string printed;
    for (const std::string& line : lines) printed += show.run(line);
    return printed;
  }

  testing::ScratchFolder folder;
};

TEST_F(KeptResources, UnchangedFilesAreTakenAgainChangedOnesMadeAnewAndWhatNoShowHoldsIsDeleted) {
  folder.write("data/shaders/a.vert", meshVertex);
  folder.write("data/shaders/a.frag", colourShader("1.0, 0.0"));
  folder.write("data/shaders/b.frag", colourShader("0.0, 1.0"));
  folder.write("data/shaders/c.frag", "#version 330 compatibility\nvoid main() { this is not glsl; }\n");
  folder.write("data/box.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  folder.write("data/textures/pic.png", testing::encodeRgba(1, 1, {255, 0, 0, 255}));
  const std::vector<std::string> script = {
      "-1 main SHADER a.vert a.frag", "-1 other SHADER a.vert b.frag", "-1 broken SHADER a.vert c.frag",
      "-1 box new model",             "-1 box shader main",            "-1 box local loadobj;data/box.obj",
      "-1 box texture pic.png",       "-1 ball new sphere"};

  testing::ScriptRunner first;
  const std::string firstPrinted = build(first, script);
  const GLuint main = findShaderProgram("main");
  const GLuint other = findShaderProgram("other");
  const std::vector<GLuint> mainStages = attachedStages(main);
  const Demoeffect box = *effects.find("box");
  const Demoeffect ball = *effects.find("ball");
  ASSERT_NE(box.vbo, 0u);
  ASSERT_NE(box.texture, 0u);
  EXPECT_NE(firstPrinted.find("Error compiling shader"), std::string::npos);

  releaseShowState();
  // The show's own buffers go with it; what came from files waits for the next show.
  EXPECT_FALSE(glIsBuffer(ball.vbo));
  EXPECT_FALSE(glIsVertexArray(ball.vao));
  EXPECT_TRUE(glIsProgram(main));
  EXPECT_TRUE(glIsBuffer(box.vbo));
  EXPECT_TRUE(glIsTexture(box.texture));

  folder.write("data/shaders/b.frag", colourShader("0.0, 0.5"));
  testing::ScriptRunner second;
  // A failed compile is not kept: its log is printed again, as a new show prints it.
  EXPECT_EQ(build(second, script), firstPrinted);
  EXPECT_EQ(findShaderProgram("main"), main);
  EXPECT_EQ(attachedStages(main), mainStages);
  EXPECT_NE(findShaderProgram("other"), other);
  EXPECT_EQ(effects.find("box")->vao, box.vao);
  EXPECT_EQ(effects.find("box")->vbo, box.vbo);
  EXPECT_EQ(effects.find("box")->texture, box.texture);

  releaseShowState();
  EXPECT_FALSE(glIsProgram(other));
  // A show that takes nothing: the rest is deleted.
  releaseShowState();
  EXPECT_FALSE(glIsProgram(main));
  EXPECT_FALSE(glIsBuffer(box.vbo));
  EXPECT_FALSE(glIsVertexArray(box.vao));
  EXPECT_FALSE(glIsTexture(box.texture));
}

// A 1 x 1 picture whose pixel lies in the second half of the file: a comment chunk of 3000 bytes goes
// before it.
std::string pictureWithALongComment(const std::vector<std::uint8_t>& rgba) {
  std::string png = testing::encodeRgba(1, 1, rgba);
  std::string chunk = "tEXtComment";
  chunk.push_back('\0');
  chunk += std::string(3000, 'x');
  const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size())));
  const auto bigEndian = [](std::uint32_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                       static_cast<char>(value)};
  };
  // After the signature (8 bytes) and the header chunk (25).
  png.insert(33, bigEndian(static_cast<std::uint32_t>(chunk.size() - 4)) + chunk + bigEndian(crc));
  return png;
}

TEST_F(KeptResources, AFileChangedLateWithoutChangingItsSizeIsMadeAnew) {
  const std::string comment = "# " + std::string(400, '-') + "\n";
  folder.write("data/box.obj", comment + "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  const std::string red = pictureWithALongComment({255, 0, 0, 255});
  folder.write("data/textures/pic.png", red);
  const std::vector<std::string> script = {"-1 box new model", "-1 box local loadobj;data/box.obj",
                                           "-1 box texture pic.png"};
  testing::ScriptRunner first;
  build(first, script);
  const GLuint firstBuffer = effects.find("box")->vbo;
  const GLuint firstTexture = effects.find("box")->texture;
  ASSERT_NE(firstBuffer, 0u);
  ASSERT_NE(firstTexture, 0u);
  releaseShowState();

  // The same sizes; only the last vertex and the pixel differ.
  folder.write("data/box.obj", comment + "v 0 0 0\nv 1 0 0\nv 0 2 0\nf 1 2 3\n");
  const std::string blue = pictureWithALongComment({0, 0, 255, 255});
  ASSERT_EQ(blue.size(), red.size());
  folder.write("data/textures/pic.png", blue);
  testing::ScriptRunner second;
  build(second, script);
  const Demoeffect* box = effects.find("box");
  EXPECT_NE(box->vbo, firstBuffer) << "the mesh of the file as it was is kept";
  float vertices[3 * 8] = {};
  glBindBuffer(GL_ARRAY_BUFFER, box->vbo);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof vertices, vertices);
  EXPECT_EQ(vertices[2 * 8 + 1], 2.0f) << "the third vertex's y";
  EXPECT_NE(box->texture, firstTexture) << "the picture as it was is kept";
  std::uint8_t pixel[4] = {};
  glBindTexture(GL_TEXTURE_2D, box->texture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[2], 255);
}

TEST_F(KeptResources, SavedShaderReplacesTheProgramInPlaceAndTheShowStandsAsItWas) {
  folder.write("data/shaders/q.vert", quadVertex);
  folder.write("data/shaders/q.frag", colourShader("1.0, 0.0"));
  testing::ScriptRunner show;
  build(show, {"-1 flat SHADER q.vert q.frag", "-1 pic new image", "-1 pic shader flat", "-1 pic setpoint 0,0,-1",
               "-1 pic state 4", "-1 pic deltapoint 0,0,-1", "-1 SCENE append pic"});
  Demoeffect* pic = effects.find("pic");
  const GLuint program = pic->shader;
  frameDelta = 0.1;
  glLoadIdentity();
  pic->draw();
  glUseProgram(0);
  currentProgram = 0;
  const float depth = pic->transform.point[2];
  EXPECT_FLOAT_EQ(depth, -1.1f);
  EXPECT_EQ(gl().pixel(32, 32)[0], 255);

  const auto reload = [&](const std::string& text, std::string& printed) {
    folder.write("data/shaders/q.frag", text);
    ::testing::internal::CaptureStdout();
    const SourcesReloaded result = reloadShaderSources({"q.frag"});
    std::fflush(stdout);
    printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result.relinked, 1);
    EXPECT_FALSE(result.layoutChanged);
    show.player.redrawFrame();
    return result;
  };
  std::string printed;
  reload(colourShader("0.0, 1.0"), printed);
  EXPECT_EQ(printed, "");
  // The same program name, the new code, the object's state fed to it, and nothing advanced.
  EXPECT_EQ(pic->shader, program);
  EXPECT_EQ(pic->transform.point[2], depth);
  const auto green = gl().pixel(32, 32);
  EXPECT_EQ(green[0], 0);
  EXPECT_EQ(green[1], 255);
  EXPECT_NEAR(green[2], 128, 1);

  reload("this is not GLSL", printed);
  EXPECT_NE(printed.find("Error compiling data/shaders/q.frag"), std::string::npos);
  EXPECT_NE(printed.find("Keeping the last good version of program flat"), std::string::npos);
  EXPECT_EQ(gl().pixel(32, 32)[1], 255);

  // Fixed: what the broken one printed is handed back, for the message list to drop.
  std::string fixedPrinted;
  const SourcesReloaded fixed = reload(colourShader("1.0, 1.0"), fixedPrinted);
  EXPECT_EQ(fixed.previousMessages, printed);
  EXPECT_EQ(fixedPrinted, "");
  EXPECT_EQ(gl().pixel(32, 32)[0], 255);
  EXPECT_EQ(gl().pixel(32, 32)[1], 255);
  EXPECT_EQ(pic->shader, program);
}

}  // namespace
}  // namespace glowmarch
