// The uniform "musicbeat" from a show's beat file: the beat position at every frame in a program that
// declares it, nothing at all without the file, and a file with mistakes read as far as it goes, its
// skipped lines named.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "resources/ShaderLibrary.h"
#include "tests/support/TestShow.h"
#include "timeline/FrameClock.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr const char* script = R"(-1 beat SHADER beat.vert beat.frag
-1 plain SHADER beat.vert plain.frag
-1 a new demoeffect
-1 a shader beat
-1 SCENE append a
-1 b new demoeffect
-1 b shader plain
-1 SCENE append b
)";
constexpr const char* vertexStage = R"(#version 330 compatibility
void main() { gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex; }
)";
constexpr const char* beatStage = R"(#version 330 compatibility
uniform float musicbeat;
out vec4 colour;
void main() { colour = vec4(fract(musicbeat), 0.0, 0.0, 1.0); }
)";
constexpr const char* plainStage = R"(#version 330 compatibility
uniform float musictime;
out vec4 colour;
void main() { colour = vec4(fract(musictime), 0.0, 0.0, 1.0); }
)";

class MusicBeat : public testing::GlTest {
 protected:
  void SetUp() override {
    testing::GlTest::SetUp();
    if (IsSkipped()) return;
    folder = std::make_unique<testing::ScratchFolder>();
    folder->write("data/vesperscript.txt", script);
    folder->write("data/shaders/beat.vert", vertexStage);
    folder->write("data/shaders/beat.frag", beatStage);
    folder->write("data/shaders/plain.frag", plainStage);
  }
  void TearDown() override {
    player.reset();
    clock.reset();
    folder.reset();
    testing::GlTest::TearDown();
  }
  // The show started with no music: its frames stand on the frame clock. Returns what it printed.
  std::string start() {
    // The clock before goes first, so that it puts back the real clock and not the other way round.
    player.reset();
    clock.reset();
    CaptureStdout();
    testing::resetShow();
    clock = std::make_unique<FrameClock>();
    player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }));
    return GetCapturedStdout();
  }
  // The program's "musicbeat" after frame n was drawn.
  float drawnBeat(std::uint64_t frame) {
    clock->set(*player, frame, 60);
    CaptureStdout();
    player->runFrame();
    GetCapturedStdout();
    const GLuint program = findShaderProgram("beat");
    float value = -99.0f;
    glGetUniformfv(program, glGetUniformLocation(program, "musicbeat"), &value);
    return value;
  }

  std::unique_ptr<testing::ScratchFolder> folder;
  std::unique_ptr<FrameClock> clock;
  std::unique_ptr<Player> player;
};

TEST_F(MusicBeat, AProgramDeclaringItGetsTheBeatPositionAtEveryFrame) {
  folder->write("data/music/beats.txt", "# four beats\n1.0\n1.5\n2.5\n3.0\n");
  const std::string printed = start();
  EXPECT_EQ(printed.find("beats.txt"), std::string::npos) << printed;
  for (std::uint64_t frame = 0; frame <= 240; frame += 7) {
    const float beat = drawnBeat(frame);
    // Worked out here from the four beats: the last beat passed and the way to the next, the first
    // and last intervals carried on.
    const double t = musicTime;
    double expected = 0.0;
    if (t < 1.5) {
      expected = (t - 1.0) / 0.5;
    } else if (t < 2.5) {
      expected = 1.0 + (t - 1.5) / 1.0;
    } else {
      expected = 2.0 + (t - 2.5) / 0.5;
    }
    EXPECT_NEAR(beat, expected, 1e-5) << "frame " << frame << " at " << t << " s";
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MusicBeat, WithoutTheFileNothingIsPrintedAndTheUniformIsNeverSet) {
  const std::string printed = start();
  EXPECT_EQ(printed.find("beats"), std::string::npos) << printed;
  EXPECT_EQ(drawnBeat(90), 0.0f) << "a uniform nobody set keeps its value of 0";
  EXPECT_FALSE(hasMusicBeat);
  EXPECT_TRUE(player->beats.empty());
}

TEST_F(MusicBeat, AFileWithMistakesIsReadAsFarAsItGoesAndItsSkippedLinesAreNamed) {
  folder->write("data/music/beats.txt", "1.0\nsoon\n2.0\n1.5\n3,0\n3.0\n");
  const std::string printed = start();
  EXPECT_NE(printed.find("data/music/beats.txt:2: skipped: not a time in seconds\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("data/music/beats.txt:4: skipped: not after the beat before it (2.0000 s, line 3)\n"),
            std::string::npos) << printed;
  EXPECT_NE(printed.find("data/music/beats.txt:5: skipped: a decimal comma"), std::string::npos) << printed;
  EXPECT_EQ(player->beats, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_NEAR(drawnBeat(150), 1.5f, 1e-5);  // 2.5 s

  // One beat gives no position: said once, and the uniform is left alone.
  folder->write("data/music/beats.txt", "1.0\n");
  const std::string alone = start();
  EXPECT_NE(alone.find("data/music/beats.txt: fewer than two beats; musicbeat is not set\n"), std::string::npos);
  EXPECT_TRUE(player->beats.empty());
}

}  // namespace
}  // namespace glowmarch
