// Seeking: frames run without drawing leave the show exactly as drawn frames leave it, and a frame
// drawn after a seek is the frame a show played from the start draws.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/AudioDevice.h"
#include "effects/FrameValues.h"
#include "effects/ParticleLayout.h"
#include "effects/Particles.h"
#include "tests/support/TestShow.h"
#include "timeline/FrameClock.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr int fps = 60;

// Everything that moves: a burn fountain, a tube with a pulse, tweens that end part-way, a spin, a
// sphere that appears on its timer, clones, and a child hung below two parents (advanced twice a frame).
constexpr const char* script = R"(-9 main SHADER plain.vert plain.frag
-8 cam new camera
-8 SCENE append cam
-8 dot new sphere
-8 dot scale 0.2
-8 fountain new particles
-8 fountain local x;5
-8 fountain local y;4
-8 fountain local anim;burn
-8 fountain local init;dot
-8 fountain state 32
-8 cam append fountain
-8 tube new particles
-8 tube local x;6
-8 tube local y;5
-8 tube local type;tube
-8 tube local init;dot
-8 cam append tube
-8 spinner new demoeffect
-8 spinner deltadirection 0.3,0.1,0.05
-8 spinner deltapoint 0,0.1,0
-8 cam append spinner
-8 shared new demoeffect
-8 shared deltadirection 0.2,0,0
-8 spinner append shared
-8 twin clone spinner
-8 cam append twin
-8 late new sphere
-8 late timer 1.5
-8 late deltadirection 0.5,0,0
-8 cam append late
0.3 tube local anim;sinepulse
0.5 cam movepoint 1,2,8,0.75
0.5 cam rotatepoint 0.6,0.45,0.1,0.6
1 spinner setpoint 1,1,1
1 twin scale 2
1.7 fountain local x;3
)";

constexpr const char* vertexStage = R"(#version 330 compatibility
layout(location = 0) in vec3 in_position;
void main() { gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0); }
)";
constexpr const char* fragmentStage = R"(#version 330 compatibility
uniform float musictime;
uniform float musicdata[256];
uniform int state;
out vec4 colour;
void main() { colour = vec4(fract(musictime), musicdata[3] + 0.2, float(state & 1), 1.0); }
)";

class Seek : public testing::GlTest {
 protected:
  void SetUp() override {
    testing::GlTest::SetUp();
    if (IsSkipped()) return;
    folder = std::make_unique<testing::ScratchFolder>();
    folder->write("data/vesperscript.txt", script);
    folder->write("data/shaders/plain.vert", vertexStage);
    folder->write("data/shaders/plain.frag", fragmentStage);
    // A short tone: the show runs on the music, then on the frame clock once it has ended.
    std::ifstream tone(GLOWMARCH_SOURCE_DIR "/tests/audio/fixtures/tone440.mp3", std::ios::binary);
    folder->write("data/music/QX07Synthpop_FINAL.mp3", std::string(std::istreambuf_iterator<char>(tone), {}));
  }
  void TearDown() override {
    player.reset();
    clock.reset();
    folder.reset();
    testing::GlTest::TearDown();
  }

  void start() {
    player.reset();
    clock.reset();
    testing::resetShow();
    clock = std::make_unique<FrameClock>();
    player = std::make_unique<Player>(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }));
  }

  void drawFrame(std::uint64_t frame) {
    clock->set(*player, frame, fps);
    player->runFrame();
  }

  std::unique_ptr<testing::ScratchFolder> folder;
  std::unique_ptr<FrameClock> clock;
  std::unique_ptr<Player> player;
};

void describe(std::ostringstream& out, const Demoeffect& e, int depth) {
  const Transform& t = e.transform;
  out << std::hexfloat << depth;
  for (const float* v : {t.point, t.direction, t.deltaPoint, t.deltaDirection, t.moveFrom, t.moveTo, t.rotateFrom,
                         t.rotateTo}) {
    out << ' ' << v[0] << ' ' << v[1] << ' ' << v[2];
  }
  out << ' ' << t.moveStart << ' ' << t.moveEnd << ' ' << t.rotateStart << ' ' << t.rotateEnd << ' ' << t.motionFlags
      << ' ' << e.state << ' ' << e.scale << ' ' << e.scaleX << ' ' << e.timer << ' ' << e.texture << ' '
      << int{e.color[0]} << ' ' << int{e.color[1]} << ' ' << int{e.color[2]} << ' ' << int{e.color[3]} << '\n';
  for (const Demoeffect* child : e.children) describe(out, *child, depth + 1);
}

// Every field of every object the scene reaches, the frame values and the random engine's place.
std::string describeShow(const Player& player) {
  std::ostringstream out;
  for (const Demoeffect* effect : player.scene) describe(out, *effect, 0);
  out << std::hexfloat << musicTime << ' ' << frameDelta << ' ' << musicData[3] << ' ' << player.frameCount << '\n';
  out << particleEngine << '\n';
  return out.str();
}

TEST_F(Seek, FramesRunWithoutDrawingLeaveEveryObjectAsDrawnFramesDo) {
  constexpr std::uint64_t frames = 150;  // past every line, the sphere's timer and the tone's end
  CaptureStdout();
  start();
  for (std::uint64_t frame = 0; frame < frames; ++frame) drawFrame(frame);
  const std::string drawn = describeShow(*player);
  const std::string drawnOutput = GetCapturedStdout();

  CaptureStdout();
  start();
  seekFrames(*player, *clock, 0, frames, fps);
  const std::string sought = describeShow(*player);
  EXPECT_EQ(GetCapturedStdout(), drawnOutput) << "the same lines ran, in the same order";
  EXPECT_EQ(sought, drawn);
  EXPECT_NE(drawnOutput.find("Doing: 1.7 fountain local x;3"), std::string::npos);
}

TEST_F(Seek, AFrameDrawnAfterASeekIsTheFrameOfTheShowPlayedFromTheStart) {
  constexpr std::uint64_t first = 100;
  constexpr std::uint64_t end = 104;
  CaptureStdout();
  start();
  std::vector<std::vector<std::uint8_t>> played;
  for (std::uint64_t frame = 0; frame < end; ++frame) {
    drawFrame(frame);
    if (frame >= first) played.push_back(gl().readAll());
  }

  start();
  seekToFrame(*player, *clock, first, fps);
  for (std::uint64_t frame = first; frame < end; ++frame) {
    drawFrame(frame);
    if (frame >= first) {
      EXPECT_EQ(gl().readAll(), played[frame - first]) << "frame " << frame;
    }
  }
  GetCapturedStdout();
}

}  // namespace
}  // namespace glowmarch
