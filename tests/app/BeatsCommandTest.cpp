// `glowmarch --beats` as a person runs it: the showcase's beats written where every program reads them,
// a file edited by hand kept beside the new one, and a show without music told so.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "audio/BeatFile.h"
#include "tests/app/capture/CaptureRun.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

const std::string program = testing::quoted(fs::path(GLOWMARCH_BINARY_DIR) / "bin" / "glowmarch");

TEST(BeatsCommand, WritesTheShowcasesBeatsKeepsAHandEditedFileAndNeedsMusic) {
  testing::ScratchFolder scratch;
  const fs::path show = scratch.path() / "show";
  fs::create_directories(show / "data" / "music");
  fs::copy_file(testing::showcaseFolder / "data" / "music" / "QX07Synthpop_FINAL.mp3",
                show / "data" / "music" / "QX07Synthpop_FINAL.mp3");
  const fs::path logs = scratch.path();

  const testing::ProgramRun first = testing::runIn(scratch.path(), program + " --beats show", logs);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("glowmarch --beats: wrote data/music/beats.txt: "), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("120.0 BPM"), std::string::npos) << first.out;
  const std::string written = testing::readText(show / "data" / "music" / "beats.txt");
  const audio::BeatFile file = audio::parseBeatFile(written);
  EXPECT_TRUE(file.skipped.empty());
  ASSERT_GE(file.beats.size(), 140u);
  for (double beat : file.beats) {
    EXPECT_NEAR(beat, 0.5 * std::round(beat / 0.5), 0.010) << "the showcase beats every half second";
  }

  // The same beats again: nothing to do. Edited by hand, the file is kept as beats.txt.old.
  const testing::ProgramRun again = testing::runIn(show, program + " --beats", logs);
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.out.find("holds these beats already"), std::string::npos) << again.out;
  const std::string edited = written + "99.0\n";
  scratch.write("show/data/music/beats.txt", edited);
  const testing::ProgramRun third = testing::runIn(show, program + " --beats", logs);
  EXPECT_EQ(third.exitCode, 0);
  EXPECT_NE(third.out.find("(the file before kept as data/music/beats.txt.old)"), std::string::npos) << third.out;
  EXPECT_EQ(testing::readText(show / "data" / "music" / "beats.txt.old"), edited);
  EXPECT_EQ(testing::readText(show / "data" / "music" / "beats.txt"), written);

  fs::remove(show / "data" / "music" / "QX07Synthpop_FINAL.mp3");
  const testing::ProgramRun none = testing::runIn(show, program + " --beats", logs);
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("no music the player can play at data/music/QX07Synthpop_FINAL.mp3"), std::string::npos)
      << none.err;
}

}  // namespace
}  // namespace glowmarch
