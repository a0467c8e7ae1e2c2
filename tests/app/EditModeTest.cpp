// The edit mode's parts that need no window: its command line, the transport's grid and loop, the
// file watcher on real files, what of standard output the overlay lists, and the timeline's figures.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/edit/EditOptions.h"
#include "app/edit/MessageLog.h"
#include "app/edit/Overlay.h"
#include "app/edit/PlayState.h"
#include "app/edit/Transport.h"
#include "app/platform/FileWatcher.h"

namespace glowmarch {
namespace {

TEST(EditOptions, EditTakesAtPausedAndSizeAndRefusesWhatItCannotUse) {
  const ParsedEditOptions none = parseEditOptions({});
  ASSERT_TRUE(none.ok());
  EXPECT_FALSE(none.options.edit);

  const ParsedEditOptions full = parseEditOptions({"--edit", "--at", "12.5", "--paused", "--size=1280x720"});
  ASSERT_TRUE(full.ok()) << full.error;
  EXPECT_TRUE(full.options.edit);
  EXPECT_EQ(full.options.at, 12.5);
  EXPECT_TRUE(full.options.paused);
  EXPECT_EQ(full.options.width, 1280);
  EXPECT_EQ(full.options.height, 720);

  EXPECT_TRUE(parseEditOptions({"--help"}).options.help);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--at", "3"}, {"--edit", "--at"}, {"--edit", "--at", "-1"}, {"--edit", "--at", "nan"},
        {"--edit", "--at", "1e9"}, {"--edit", "--size", "0x10"}, {"--edit", "--size", "12"}, {"--edit", "--paused=1"},
        {"--edit", "--fast"}, {"show"}}) {
    EXPECT_FALSE(parseEditOptions(bad).ok()) << bad.back();
  }
}

TEST(EditTransport, KeysSeekOnTheSixtiethGridWithinTheShowAndTheLoopWrapsAtItsEnd) {
  EXPECT_EQ(editKeyFor(0x20, false), EditKey::pause);
  EXPECT_EQ(editKeyFor(0x25, true), EditKey::backFar);
  EXPECT_EQ(editKeyFor(0x27, false), EditKey::forward);
  EXPECT_EQ(editKeyFor(0xBC, false), EditKey::stepBack);
  EXPECT_EQ(editKeyFor('L', false), EditKey::loopToggle);
  EXPECT_EQ(editKeyFor('K', false), EditKey::none);

  EXPECT_EQ(frameNearest(3.0), 180u);
  EXPECT_EQ(frameNearest(1.0 / 120.0 - 1e-9), 0u);
  EXPECT_EQ(frameNearest(-2.0), 0u);
  EXPECT_EQ(seekTarget(EditKey::back, 30, 600), 0u);
  EXPECT_EQ(seekTarget(EditKey::forwardFar, 100, 600), 600u);
  EXPECT_EQ(seekTarget(EditKey::stepForward, 100, std::nullopt), 101u);
  EXPECT_EQ(seekTarget(EditKey::home, 100, 600), 0u);
  EXPECT_FALSE(seekTarget(EditKey::pause, 100, 600).has_value());

  LoopSpan loop;
  loop.start = 120;
  loop.on = true;
  EXPECT_FALSE(loop.wrap(100.0).has_value()) << "no end, no loop";
  loop.end = 240;
  EXPECT_FALSE(loop.wrap(3.9).has_value());
  EXPECT_EQ(loop.wrap(4.0), 120u);
  loop.on = false;
  EXPECT_FALSE(loop.wrap(5.0).has_value());
}

TEST(EditTransport, ArrowsStepOneSecondAndTenWithShiftFromTheSoundHeardOrThePicturePaused) {
  constexpr int left = 0x25;
  constexpr int right = 0x27;
  PlayState state;
  const std::vector<double> beats;
  EXPECT_EQ(state.answer(editKeyFor(left, false), 20.0, 6000, beats).frame, 19u * 60);
  EXPECT_EQ(state.answer(editKeyFor(right, false), 20.0, 6000, beats).frame, 21u * 60);
  EXPECT_EQ(state.answer(editKeyFor(left, true), 20.0, 6000, beats).frame, 10u * 60);
  EXPECT_EQ(state.answer(editKeyFor(right, true), 20.0, 6000, beats).frame, 30u * 60);
  state.pausedOnGrid(45 * 60);
  EXPECT_EQ(state.answer(editKeyFor(left, true), 0.0, 6000, beats).frame, 35u * 60);
  EXPECT_EQ(state.answer(editKeyFor(right, true), 0.0, 6000, beats).frame, 55u * 60);
  // Never before the start, never past the show's last frame.
  EXPECT_EQ(state.answer(editKeyFor(right, true), 0.0, 50 * 60, beats).frame, 50u * 60);
  state.pausedOnGrid(4 * 60);
  EXPECT_EQ(state.answer(editKeyFor(left, true), 0.0, 6000, beats).frame, 0u);
}

TEST(EditPlayState, SeeksGoFromTheSoundWhilePlayingAndFromThePictureWhilePausedAndTheEndRefusesPlay) {
  using Kind = EditAction::Kind;
  PlayState state;
  const std::vector<double> beats = {0.5, 1.0, 1.5};
  EXPECT_EQ(state.answer(EditKey::forward, 2.0, 600, beats).frame, 180u) << "from the heard 2 s";
  EXPECT_EQ(state.answer(EditKey::stepForward, 2.0, 600, beats).kind, Kind::none) << "steps only while paused";
  EXPECT_EQ(state.answer(EditKey::nextBeat, 1.2, 600, beats).frame, 90u);
  EXPECT_EQ(state.answer(EditKey::pause, 2.0, 600, beats).kind, Kind::pause);
  EXPECT_EQ(state.answer(EditKey::reload, 2.0, 600, beats).kind, Kind::other);

  state.pausedOnGrid(100);
  EXPECT_EQ(state.answer(EditKey::forward, 9.0, 600, beats).frame, 160u) << "from the picture, not the clock";
  const EditAction next = state.answer(EditKey::stepForward, 9.0, 600, beats);
  EXPECT_EQ(next.kind, Kind::nextFrame);
  EXPECT_EQ(next.frame, 101u);
  EXPECT_EQ(state.answer(EditKey::stepBack, 9.0, 600, beats).frame, 99u);
  EXPECT_EQ(state.answer(EditKey::previousBeat, 9.0, 600, beats).frame, 90u);
  EXPECT_EQ(state.answer(EditKey::pause, 9.0, 600, beats).kind, Kind::resume);

  state.answer(EditKey::loopStart, 0.0, 600, beats);
  state.pausedAt(3.0);
  state.answer(EditKey::loopEnd, 0.0, 600, beats);
  state.answer(EditKey::loopToggle, 0.0, 600, beats);
  EXPECT_EQ(state.loop.wrap(3.0), 100u);
  EXPECT_EQ(state.answer(EditKey::stepForward, 0.0, 600, beats).kind, Kind::seek) << "between frames: rebuilt";

  state.pausedAt(12.0);
  state.stopAtEnd(false, 10.0);
  EXPECT_EQ(state.seconds(99.0), 10.0) << "held at the show's length";
  EXPECT_EQ(state.answer(EditKey::pause, 0.0, 600, beats).kind, Kind::refused);
  state.rebuilt();
  state.endedOnGrid(300);
  EXPECT_EQ(state.endSeconds(), 5.0);
  EXPECT_EQ(state.answer(EditKey::pause, 0.0, 600, beats).kind, Kind::refused);
  state.rebuilt();
  EXPECT_EQ(state.answer(EditKey::pause, 0.0, 600, beats).kind, Kind::resume);
}

TEST(EditFileWatcher, WritesAndRenamesOverAreHandedOutOnceSettledAndTemporariesNever) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("glowmarch-watch-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "shaders");
  FileWatcher watcher(folder.string());
  ASSERT_TRUE(watcher.watching());

  std::ofstream(folder / "shaders" / ".main.frag.swp") << "vim's swap";
  std::ofstream(folder / "shaders" / ".main.frag.new") << "void main() {}";
  std::filesystem::rename(folder / "shaders" / ".main.frag.new", folder / "shaders" / "main.frag");
  std::filesystem::create_directories(folder / "meshes");
  const auto start = WatchClock::now();
  watcher.poll(start);
  std::ofstream(folder / "meshes" / "box.obj") << "v 0 0 0\n";  // in a folder made after the start
  watcher.poll(start + std::chrono::milliseconds(50));

  ChangeBatch& changes = watcher.changes();
  EXPECT_TRUE(changes.takeSettled(start + std::chrono::milliseconds(100)).empty()) << "still being written";
  const std::set<std::string> settled = changes.takeSettled(start + std::chrono::milliseconds(150));
  const std::string base = folder.string();
  EXPECT_EQ(settled, (std::set<std::string>{base + "/shaders/main.frag", base + "/meshes/box.obj"}));
  EXPECT_FALSE(changes.pending());
  std::filesystem::remove_all(folder);

  EXPECT_TRUE(isEditorTemporary("vesperscript.txt~"));
  EXPECT_TRUE(isEditorTemporary("4913"));
  EXPECT_FALSE(isEditorTemporary("nebula.png"));
}

TEST(EditMessageLog, ListsMessagesButNotTheListingOrTheDoingLines) {
  MessageLog log;
  log.write("-1 pic new image -1.000000\n  2.5 cam setpoint 0,1,2 2.500000\nDoing: 2.5 cam setpoint 0,1,2\n");
  log.write("Error compiling shader\n0:3(1): error: syntax err");
  EXPECT_EQ(log.lines().size(), 1u);
  log.write("or\nfailed local: pic size;1");
  log.write("\n\n");
  ASSERT_EQ(log.lines().size(), 3u);
  EXPECT_EQ(log.lines()[0], "Error compiling shader");
  EXPECT_EQ(log.lines()[1], "0:3(1): error: syntax error");
  EXPECT_EQ(log.lines()[2], "failed local: pic size;1");
  for (std::size_t i = 0; i < MessageLog::capacity + 5; ++i) log.write("Couldn't load x.png\n");
  EXPECT_EQ(log.lines().size(), MessageLog::capacity);
}

TEST(EditTimeline, LoudnessIsTheRootMeanSquarePerSpan) {
  std::vector<std::int16_t> samples(8, 0);
  for (std::size_t i = 4; i < 8; ++i) samples[i] = (i % 2 == 0) ? 16384 : -16384;
  const std::vector<float> levels = loudness(samples.data(), 4, 2);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_FLOAT_EQ(levels[0], 0.0f);
  EXPECT_FLOAT_EQ(levels[1], 0.5f);
  EXPECT_TRUE(loudness(nullptr, 0, 3) == std::vector<float>(3, 0.0f));
}

}  // namespace
}  // namespace glowmarch
