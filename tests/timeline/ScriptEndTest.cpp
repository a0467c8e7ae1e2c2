// Where the script's END ends a show played on the frame grid, known before it plays: the frame the
// player itself stops in, with and without music, in the music and after its end, at several rates.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioDevice.h"
#include "tests/support/TestShow.h"
#include "timeline/FrameClock.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class ScriptEnd : public testing::GlTest {
 protected:
  // The frame the player's own frames stop in, played from 0 as a capture plays them; none before `limit`.
  std::optional<std::uint64_t> playedEnd(int fps, std::uint64_t limit) {
    testing::resetShow();
    FrameClock clock;
    Player player(AudioOpener([] { return std::make_unique<audio::ManualDevice>(); }));
    if (player.over()) return 0;
    for (std::uint64_t frame = 0; frame < limit; ++frame) {
      clock.set(player, frame, fps);
      if (!player.advanceFrame()) return frame;
    }
    return std::nullopt;
  }

  // What is known before playing, from the script as the player reads it.
  std::optional<std::uint64_t> plannedEnd(int fps, std::optional<std::uint64_t> music, std::uint64_t limit) {
    testing::resetShow();
    Player reader{Player::NotStarted{}};
    reader.parseScript();
    return scriptEndFrame(reader.scriptLines, fps, music, limit);
  }

  testing::ScratchFolder folder;
};

TEST_F(ScriptEnd, TheFrameKnownBeforePlayingIsTheFrameThePlayerStopsIn) {
  std::ifstream tone(GLOWMARCH_SOURCE_DIR "/tests/audio/fixtures/tone440.mp3", std::ios::binary);
  const std::string mp3(std::istreambuf_iterator<char>(tone), {});
  const std::uint64_t toneFrames = 44100;  // one second
  // What the shows print is not looked at; failures are told once it is let through again.
  std::vector<std::string> wrong;
  CaptureStdout();
  for (const bool music : {true, false}) {
    if (music) folder.write("data/music/QX07Synthpop_FINAL.mp3", mp3);
    // Stamps between a frame's n / fps and its millisecond tick tell the two clocks apart.
    for (const char* stamp : {"0", "-0", "0.0333", "0.4286", "0.5", "0.999", "1", "1.0005", "1.0333", "1.4286", "2.3333"}) {
      // The earliest END counts, wherever it stands in the file; another word in its place is no END.
      folder.write("data/vesperscript.txt", std::string("-1 cam new camera\n3 show END\n") + stamp +
                                                " show END\n" + "0.1 show ENDS\n 0.2 show END\n");
      for (const int fps : {7, 30, 60, 1000}) {
        const std::uint64_t limit = static_cast<std::uint64_t>(fps) * 4;
        const std::optional<std::uint64_t> length = music ? std::optional(toneFrames) : std::nullopt;
        const std::optional<std::uint64_t> planned = plannedEnd(fps, length, limit);
        const std::optional<std::uint64_t> played = playedEnd(fps, limit);
        if (planned != played || !planned || plannedEnd(fps, length, *planned)) {
          wrong.push_back(std::string("END at ") + stamp + " s, " + std::to_string(fps) + " fps, music " +
                          std::to_string(music) + ": planned " + std::to_string(planned.value_or(-1)) + ", played " +
                          std::to_string(played.value_or(-1)));
        }
      }
    }
    std::filesystem::remove("data/music/QX07Synthpop_FINAL.mp3");
  }

  // Among the start-up lines the show ends before its first frame; a stamp that is not a number the
  // music time passes never ends it.
  folder.write("data/vesperscript.txt", "-1 show END\n1 show END\n");
  const auto startUpPlanned = plannedEnd(60, std::nullopt, 600);
  const auto startUpPlayed = playedEnd(60, 600);
  folder.write("data/vesperscript.txt", "nan show END\n");
  const auto neverPlanned = plannedEnd(60, std::nullopt, 600);
  const auto neverPlayed = playedEnd(60, 600);
  GetCapturedStdout();
  EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
  EXPECT_EQ(startUpPlanned, 0u);
  EXPECT_EQ(startUpPlayed, 0u);
  EXPECT_EQ(neverPlanned, std::nullopt);
  EXPECT_EQ(neverPlayed, std::nullopt);
}

}  // namespace
}  // namespace glowmarch
