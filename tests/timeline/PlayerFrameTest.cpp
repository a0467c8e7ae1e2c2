#include <GL/glew.h>
#include <SDL2/SDL_stdinc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioDevice.h"
#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "tests/support/TestShow.h"
#include "timeline/Platform.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using Matrix = std::array<float, 16>;

const std::filesystem::path toneFixture = GLOWMARCH_SOURCE_DIR "/tests/audio/fixtures/tone440.mp3";

struct Message {
  std::string text;
  std::string caption;
  bool operator==(const Message&) const = default;
};
std::vector<Message> messages;
std::uint32_t clockNow = 0;

void recordMessage(const char* text, const char* caption) { messages.push_back({text, caption}); }
std::uint32_t fakeClock() { return clockNow; }

AudioOpener manualOutput() {
  return [] { return std::make_unique<audio::ManualDevice>(); };
}

// Records what the frame loop hands to `local`.
class LocalRecorder : public Demoeffect {
 public:
  std::vector<std::pair<float, std::string>> calls;
  void local(float time, char* text) override { calls.emplace_back(time, text); }
};

// Records the model-view matrix and the current program it is drawn with.
class Probe : public Demoeffect {
 public:
  std::vector<Matrix> matrices;
  std::vector<GLint> programs;
  void draw() override {
    Demoeffect::draw();
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    matrices.push_back(m);
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    programs.push_back(program);
  }
};

// A stream that will not start.
class RefusingStream : public audio::MusicStream {
 public:
  explicit RefusingStream(std::shared_ptr<const audio::DecodedMusic> music) : MusicStream(std::move(music)) {}
  bool play() override { return false; }
  std::uint64_t position() override { return 0; }
  audio::Activity activity() override { return audio::Activity::stopped; }
};

class RefusingDevice : public audio::AudioDevice {
 public:
  using AudioDevice::createStream;
  std::unique_ptr<audio::MusicStream> createStream(std::shared_ptr<const audio::DecodedMusic> music) override {
    return std::make_unique<RefusingStream>(std::move(music));
  }
};

class PlayerFrame : public testing::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    saved = platform();
    setPlatform({recordMessage, fakeClock});
    messages.clear();
    clockNow = 50000;
  }
  void TearDown() override {
    if (IsSkipped()) return testing::GlTest::TearDown();
    setPlatform(saved);
    GlTest::TearDown();
  }

  void withMusic() const {
    std::filesystem::create_directories(folder.path() / "data/music");
    std::filesystem::copy_file(toneFixture, folder.path() / musicPath);
  }

  // A Player started at the fake clock's time, its script listing kept out of the test's output.
  std::unique_ptr<Player> start(const AudioOpener& output) {
    CaptureStdout();
    auto player = std::make_unique<Player>(output);
    listing = GetCapturedStdout();
    return player;
  }

  std::string frameAt(Player& player, std::uint32_t milliseconds) {
    clockNow = milliseconds;
    CaptureStdout();
    EXPECT_TRUE(player.runFrame());
    std::fflush(stdout);
    return GetCapturedStdout();
  }

  testing::ScratchFolder folder;
  std::string listing;

 private:
  Platform saved{};
};

TEST_F(PlayerFrame, DueLinesRunInTheFirstFrameStrictlyAfterTheirTimeInFileOrder) {
  folder.write("data/vesperscript.txt",
               "-1 z new demoeffect\n"
               "2 a new demoeffect\n"
               "1 b new demoeffect\n"
               "1.5 c new demoeffect\n");
  auto player = start(manualOutput());
  EXPECT_NE(effects.find("z"), nullptr);

  EXPECT_EQ(frameAt(*player, 51000), "");  // music time 1.0 equals the stamp: not yet
  EXPECT_EQ(effects.find("b"), nullptr);
  EXPECT_EQ(frameAt(*player, 51200), "Doing: 1 b new demoeffect\n");
  EXPECT_NE(effects.find("b"), nullptr);
  // Both due in one frame: file order, not time order.
  EXPECT_EQ(frameAt(*player, 52500), "Doing: 2 a new demoeffect\nDoing: 1.5 c new demoeffect\n");
  EXPECT_EQ(frameAt(*player, 60000), "");
  for (const ScriptLine& line : player->scriptLines) EXPECT_TRUE(line.executed);
}

TEST_F(PlayerFrame, WithoutMusicTheTimelineRunsOnTheWallClockAndTheSpectrumStaysZero) {
  auto player = start(manualOutput());
  EXPECT_EQ(messages, (std::vector<Message>{{"BASS error, file not found?", "BASS"}}));
  EXPECT_EQ(player->stream, nullptr);
  EXPECT_EQ(player->startTime, 50000u);

  frameAt(*player, 50250);
  EXPECT_EQ(elapsedTime, 0.25);
  EXPECT_EQ(frameDelta, 0.25);
  EXPECT_EQ(musicTime, 0.25);
  frameAt(*player, 50400);
  EXPECT_DOUBLE_EQ(frameDelta, 0.15);
  EXPECT_EQ(musicTime, 0.4);
  EXPECT_TRUE(std::all_of(std::begin(musicData), std::end(musicData), [](float b) { return b == 0.0f; }));
  EXPECT_EQ(player->frameCount, 2u);
}

TEST_F(PlayerFrame, AudioFailuresAreToldOnceEachAndTheShowGoesOn) {
  withMusic();
  {
    auto player = start([] { return std::unique_ptr<audio::AudioDevice>(); });
    EXPECT_EQ(messages, (std::vector<Message>{{"BASS error", "BASS"}}));
    frameAt(*player, 50700);
    EXPECT_EQ(musicTime, 0.7);
  }
  messages.clear();
  {
    auto player = start(AudioOpener());
    EXPECT_EQ(messages, (std::vector<Message>{{"BASS error", "BASS"}}));
  }
  messages.clear();
  clockNow = 50000;
  {
    auto player = start([] { return std::make_unique<RefusingDevice>(); });
    EXPECT_EQ(messages, (std::vector<Message>{{"BASS error, can not play stream?", "BASS"}}));
    frameAt(*player, 51100);
    EXPECT_EQ(musicTime, 1.1);
  }
}

TEST_F(PlayerFrame, MusicTimeIsTheStreamPositionWhilePlayingThenTheWallClockWithTheSpectrumKept) {
  withMusic();
  folder.write("data/vesperscript.txt", "0.7 late new demoeffect\n");
  auto player = start(manualOutput());
  EXPECT_TRUE(messages.empty());
  ASSERT_NE(player->stream, nullptr);
  auto& stream = dynamic_cast<audio::ManualStream&>(*player->stream);
  EXPECT_EQ(stream.activity(), audio::Activity::playing);

  stream.setFrame(22050);
  EXPECT_EQ(frameAt(*player, 50100), "");
  EXPECT_EQ(musicTime, 0.5);  // the music's position, not the wall clock's 0.1
  EXPECT_EQ(musicData[0], 0.0f);
  EXPECT_EQ(std::max_element(std::begin(musicData), std::end(musicData)) - std::begin(musicData), 5);
  // Weighted: the raw magnitude of bin 5 times sqrt(ln 6).
  float raw[256];
  stream.spectrum(raw);
  EXPECT_EQ(musicData[5], static_cast<float>(spectrumWeight(5) * raw[5]));

  // The script follows the music, even far ahead of the wall clock.
  stream.setFrame(31000);
  EXPECT_EQ(frameAt(*player, 50200), "Doing: 0.7 late new demoeffect\n");
  const std::vector<float> heard(std::begin(musicData), std::end(musicData));

  // The end has been heard: the wall clock takes over, and the last spectrum stays.
  stream.setFrame(44100);
  frameAt(*player, 53000);
  EXPECT_EQ(musicTime, 3.0);
  EXPECT_EQ(std::vector<float>(std::begin(musicData), std::end(musicData)), heard);
}

TEST_F(PlayerFrame, FpsTextGoesToTheEffectNamedFpsAndSkydomeFollowsCam) {
  auto player = start(manualOutput());
  auto recorder = std::make_unique<LocalRecorder>();
  LocalRecorder* fps = recorder.get();
  effects.store("fps", std::move(recorder));
  Demoeffect* cam = effects.store("cam", std::make_unique<Demoeffect>());
  Demoeffect* skydome = effects.store("skydome", std::make_unique<Demoeffect>());
  cam->transform.point[0] = 1.0f;
  cam->transform.point[1] = 2.0f;
  cam->transform.point[2] = -3.0f;

  frameAt(*player, 50000);  // no time has passed yet
  frameAt(*player, 52000);  // one frame in two seconds
  ASSERT_EQ(fps->calls.size(), 2u);
  EXPECT_EQ(fps->calls[0].first, 0.0f);
  EXPECT_EQ(fps->calls[0].second, "text;0.000000 fps");
  EXPECT_EQ(fps->calls[1].first, 2.0f);
  EXPECT_EQ(fps->calls[1].second, "text;0.500000 fps");
  EXPECT_EQ(skydome->transform.point[0], 1.0f);
  EXPECT_EQ(skydome->transform.point[1], 2.0f);
  EXPECT_EQ(skydome->transform.point[2], -3.0f);

  // A name that holds no effect, or a cam without a skydome, is passed over.
  effects.store("fps", nullptr);
  effects.store("skydome", nullptr);
  cam->transform.point[0] = 7.0f;
  frameAt(*player, 53000);
  EXPECT_EQ(fps->calls.size(), 2u);
  EXPECT_EQ(skydome->transform.point[0], 1.0f);
}

GLuint tinyProgram() {
  const char* vertex = "#version 330 compatibility\nvoid main() { gl_Position = ftransform(); }\n";
  const char* fragment = "#version 330 compatibility\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n";
  const GLuint program = glCreateProgram();
  for (auto [type, source] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    glAttachShader(program, shader);
  }
  glLinkProgram(program);
  return program;
}

TEST_F(PlayerFrame, ClearsThenDrawsEachSceneEntryFromIdentityAndResetsTheProgram) {
  auto player = start(manualOutput());
  Probe first;
  Probe second;
  Probe last;
  first.transform.point[0] = 1.0f;
  second.transform.point[1] = 2.0f;
  const GLuint program = tinyProgram();
  first.shader = program;
  // The last entry leaves its program current: only the frame's reset clears it.
  last.shader = program;
  player->scene = {&first, &second, &last};

  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  glTranslatef(5.0f, 5.0f, 5.0f);
  frameAt(*player, 50016);

  EXPECT_EQ(gl().pixel(10, 10), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
  ASSERT_EQ(first.matrices.size(), 1u);
  ASSERT_EQ(second.matrices.size(), 1u);
  EXPECT_EQ(first.matrices[0][12], 1.0f);
  EXPECT_EQ(first.matrices[0][13], 0.0f);
  // Not under the first entry's placement.
  EXPECT_EQ(second.matrices[0][12], 0.0f);
  EXPECT_EQ(second.matrices[0][13], 2.0f);
  EXPECT_EQ(first.programs[0], static_cast<GLint>(program));
  EXPECT_EQ(second.programs[0], 0);  // the second entry has no program of its own
  ASSERT_EQ(last.programs.size(), 1u);
  EXPECT_EQ(last.programs[0], static_cast<GLint>(program));
  EXPECT_EQ(currentProgram, 0u);
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);
  EXPECT_EQ(player->frameCount, 1u);
  glDeleteProgram(program);
}

TEST_F(PlayerFrame, ANewPlayerAfterARestartStartsItsClocksAfresh) {
  {
    auto player = start(manualOutput());
    frameAt(*player, 51000);
    frameAt(*player, 55000);
    EXPECT_EQ(elapsedTime, 5.0);
  }
  clockNow = 60000;
  auto player = start(manualOutput());
  auto recorder = std::make_unique<LocalRecorder>();
  LocalRecorder* fps = recorder.get();
  effects.store("fps", std::move(recorder));
  frameAt(*player, 60000);
  EXPECT_EQ(frameDelta, 0.0);  // not -5
  EXPECT_EQ(fps->calls.at(0).second, "text;0.000000 fps");
  frameAt(*player, 60100);
  EXPECT_DOUBLE_EQ(frameDelta, 0.1);
  EXPECT_EQ(musicTime, 0.1);
}

// Waits until the stream plays and has been heard past `seconds`. How soon that is depends on the audio
// thread and the decoder, which a busy machine delays; the bound only keeps a fault from hanging.
bool heardPast(audio::MusicStream& stream, double seconds) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < giveUp) {
    if (stream.activity() == audio::Activity::playing && stream.positionSeconds() > seconds) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST_F(PlayerFrame, TheDefaultOutputPlaysTheMusicAndTheFrameFollowsIt) {
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  withMusic();
  auto player = std::make_unique<Player>();
  ASSERT_TRUE(messages.empty()) << messages[0].text;
  ASSERT_NE(player->stream, nullptr);
  ASSERT_TRUE(heardPast(*player->stream, 0.05)) << "the music did not start";
  const double before = player->stream->positionSeconds();
  frameAt(*player, 50010);  // the fake wall clock says 0.01 s; the music has played far longer
  EXPECT_GE(musicTime, before);
  EXPECT_LE(musicTime, player->stream->positionSeconds());
  EXPECT_EQ(std::max_element(std::begin(musicData), std::end(musicData)) - std::begin(musicData), 5);
}

TEST_F(PlayerFrame, TheScriptsEndStopsTheShowWhereItStandsOrIsOnlyNotedForAShowThatPlaysOn) {
  const char* script = "1 x END\n1 b new demoeffect\n";
  folder.write("data/vesperscript.txt", script);
  auto player = start(manualOutput());
  Probe probe;
  player->scene = {&probe};
  clockNow = 51500;
  CaptureStdout();
  EXPECT_FALSE(player->runFrame());
  EXPECT_EQ(GetCapturedStdout(), "Doing: 1 x END\n") << "nothing after the END runs";
  EXPECT_TRUE(player->ended);
  EXPECT_EQ(effects.find("b"), nullptr);
  EXPECT_TRUE(probe.matrices.empty()) << "the frame of the END draws nothing";
  clockNow = 53000;
  EXPECT_FALSE(player->runFrame());
  EXPECT_FALSE(player->advanceFrame());
  EXPECT_TRUE(probe.matrices.empty());

  // Among the start-up lines: the listing stops there and the music is not even looked for.
  folder.write("data/vesperscript.txt", "-2 a new demoeffect\n-1 x END\n-1 c new demoeffect\n");
  messages.clear();
  player = start(manualOutput());
  EXPECT_EQ(listing, "-2 a new demoeffect -2.000000\n-1 x END -1.000000\n");
  EXPECT_TRUE(messages.empty()) << messages[0].text;
  EXPECT_EQ(effects.find("c"), nullptr);
  EXPECT_FALSE(player->runFrame());

  // A show that plays on past its END (the edit mode's) only notes it.
  folder.write("data/vesperscript.txt", script);
  CaptureStdout();
  player = std::make_unique<Player>(manualOutput(), nullptr, Player::AtEnd::goOn);
  GetCapturedStdout();
  player->scene = {&probe};
  EXPECT_FALSE(player->ended);
  EXPECT_EQ(frameAt(*player, 51500), "Doing: 1 x END\nDoing: 1 b new demoeffect\n");
  EXPECT_TRUE(player->ended);
  EXPECT_EQ(probe.matrices.size(), 1u);
}

}  // namespace
}  // namespace glowmarch
