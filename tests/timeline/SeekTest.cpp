// Seeking: frames run without drawing leave the show exactly as drawn frames leave it, and a frame
// drawn after a seek is the frame a show played from the start draws.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <iterator>
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

// GL state that crosses frames: the light a camera sets is what the sphere drawn before it next frame is
// lit by, and the blend function a text and an image leave is what the half-transparent spheres of the
// next frame are blended with. The reference is the show drawn frame by frame from frame 0, which
// never goes through a seek.
TEST_F(Seek, AFrameOfABlendedLitShowDrawnAfterASeekIsTheFrameDrawnFromFrameZero) {
  folder->write("data/vesperscript.txt", R"(-10 main SHADER lit.vert lit.frag
-9 cam new camera
-9 cam setpoint 0,0,4
-9 cam setdirection 0.5,0.5,0
-9 cam deltadirection 0,0,0.5
-9 moon new sphere
-9 moon setpoint 2.5,-1.5,-8
-9 SCENE append moon
-9 SCENE append cam
-9 ball new sphere
-9 cam append ball
-9 title new text
-9 title local text;GLOW
-9 title setpoint -1,-2.5,-6
-9 SCENE append title
-9 flare new image
-9 flare texture glow.png
-9 flare setpoint 1.2,0.8,-4
-9 SCENE append flare
)");
  folder->write("data/shaders/lit.vert", R"(#version 330 compatibility
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
out float lit;
void main() {
  lit = max(dot(normalize(gl_NormalMatrix * in_normal), normalize(gl_LightSource[0].position.xyz)), 0.0);
  gl_Position = gl_ModelViewProjectionMatrix * vec4(in_position, 1.0);
}
)");
  folder->write("data/shaders/lit.frag", R"(#version 330 compatibility
in float lit;
out vec4 colour;
void main() { colour = vec4(1.0, lit * 0.5, 0.0, 0.5); }
)");
  for (const char* picture : {"glow.png", "profont.png"}) {
    std::ifstream in(std::string(GLOWMARCH_SOURCE_DIR "/showcase/data/textures/") + picture, std::ios::binary);
    folder->write(std::string("data/textures/") + picture, std::string(std::istreambuf_iterator<char>(in), {}));
  }
  constexpr std::uint64_t frame = 2 * fps;
  CaptureStdout();
  start();
  for (std::uint64_t n = 0; n <= frame; ++n) drawFrame(n);
  const std::vector<std::uint8_t> played = gl().readAll();

  start();
  seekToFrame(*player, *clock, frame, fps);
  drawFrame(frame);
  const std::vector<std::uint8_t> sought = gl().readAll();
  GetCapturedStdout();
  std::size_t differ = 0;
  for (std::size_t i = 0; i < played.size(); i += 4) {
    differ += !std::equal(played.begin() + static_cast<std::ptrdiff_t>(i), played.begin() + static_cast<std::ptrdiff_t>(i + 4),
                          sought.begin() + static_cast<std::ptrdiff_t>(i));
  }
  EXPECT_EQ(differ, 0u) << "pixels of " << played.size() / 4 << " differ";
  std::size_t drawn = 0;
  for (std::size_t i = 0; i < played.size(); i += 4) drawn += played[i] > 0;
  EXPECT_GT(drawn, played.size() / 4 / 10) << "the show draws something to compare";
}

}  // namespace
}  // namespace glowmarch
