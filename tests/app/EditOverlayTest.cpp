// The edit mode's overlay in plain values (the timeline's view and scale, the message list, where the
// picture goes) and `glowmarch --new`, run as a person runs it and checked by `glowmarch --check`.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/edit/MessageLog.h"
#include "app/edit/Overlay.h"
#include "app/edit/TimeStatus.h"
#include "app/edit/TimelineScale.h"

namespace glowmarch {
namespace {

TEST(EditTimelineView, ZoomKeepsThePointUnderThePointerPanStaysInTheShowAndTheScaleAdapts) {
  const double length = 180.0;
  const TimelineSpan whole = TimelineSpan::whole(length);
  EXPECT_DOUBLE_EQ(whole.span, 180.0);
  const TimelineSpan zoomed = zoomAround(whole, 45.0, 0.5, length);
  EXPECT_DOUBLE_EQ(zoomed.span, 90.0);
  // 45 s stood at a quarter of the width and still does.
  EXPECT_NEAR((45.0 - zoomed.first) / zoomed.span, 0.25, 1e-12);
  EXPECT_DOUBLE_EQ(zoomAround(zoomed, 45.0, 100.0, length).span, 180.0) << "never wider than the show";
  EXPECT_DOUBLE_EQ(zoomAround(whole, 10.0, 1e-9, length).span, 0.1) << "never closer than 0.1 s";
  EXPECT_DOUBLE_EQ(panBy(zoomed, -500.0, length).first, 0.0);
  EXPECT_DOUBLE_EQ(panBy(zoomed, 500.0, length).first, 90.0);
  EXPECT_FLOAT_EQ(zoomed.xOf(zoomed.secondsAt(300.0f, 100.0f, 800.0f), 100.0f, 800.0f), 300.0f);
  const TimelineSpan broken = TimelineSpan{std::nan(""), -1.0}.clamped(0.0);
  EXPECT_DOUBLE_EQ(broken.first, 0.0);
  EXPECT_DOUBLE_EQ(broken.span, 1.0);

  // Labels at least 80 pixels apart: 3 minutes over 900 pixels step by 20 s, 2 s over 900 by 0.2 s.
  EXPECT_DOUBLE_EQ(scaleStep(180.0 / 900.0, 80.0), 20.0);
  EXPECT_DOUBLE_EQ(scaleStep(2.0 / 900.0, 80.0), 0.2);
  EXPECT_DOUBLE_EQ(scaleStep(1e-6, 80.0), 1.0 / 60.0);
  EXPECT_EQ(scaleLabel(12.0, 2.0), "12 s");
  EXPECT_EQ(scaleLabel(12.4, 0.2), "12.4 s");
  EXPECT_EQ(scaleLabel(80.0, 20.0), "1:20");
  EXPECT_EQ(scaleLabel(0.05, 0.05), "0.05 s");

  // A line runs in the first frame strictly past its time stamp.
  EXPECT_EQ(firstFrameAfter(2.0), 121u);
  EXPECT_EQ(firstFrameAfter(2.01), 121u);
  EXPECT_EQ(firstFrameAfter(1.0 / 60.0), 2u);
  EXPECT_EQ(firstFrameAfter(-3.0), 0u);
}

TEST(EditMessageList, EachCompilerErrorOnceUnderItsFileWithItsLineAndFindingsUnderTheirFiles) {
  const std::deque<std::string> messages = {
      "Couldn't find texture: sky.png",
      "Error compiling data/shaders/main.frag",
      "Error compiling shader",
      "0:14(3): error: `glow' undeclared",
      "0:14(3): error: operands to arithmetic operators must be numeric",
      "0:20(1): error: syntax error",
      "Keeping the last good version of program main",
      "Error compiling shader",
      "0(7) : error C0000: syntax error",
  };
  const std::vector<Finding> findings = {
      {"data/shaders/main.frag", 14, "error: `glow' undeclared: the player leaves this stage out"},
      {"data/shaders/main.frag", 30, "error: later"},
      {"data/vesperscript.txt", 4, "unknown command word \"setpiont\""},
  };
  const std::vector<MessageGroup> groups = groupMessages(messages, findings);
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0].file, "");
  ASSERT_EQ(groups[0].entries.size(), 1u);
  EXPECT_EQ(groups[0].entries[0].kind, MessageEntry::error);

  EXPECT_EQ(groups[1].file, "data/shaders/main.frag");
  ASSERT_EQ(groups[1].entries.size(), 3u);
  EXPECT_EQ(groups[1].entries[0].text, "data/shaders/main.frag:14: error: `glow' undeclared");
  EXPECT_EQ(groups[1].entries[1].text, "data/shaders/main.frag:20: error: syntax error");
  EXPECT_EQ(groups[1].entries[2].text, "data/shaders/main.frag:30: error: later");
  EXPECT_EQ(groups[1].entries[2].kind, MessageEntry::finding);

  EXPECT_EQ(groups[2].file, "");
  ASSERT_EQ(groups[2].entries.size(), 2u);
  EXPECT_EQ(groups[2].entries[0].text, "Keeping the last good version of program main");
  // A compiler's log whose file is not known stays in order, with its line.
  EXPECT_EQ(groups[2].entries[1].text, "shader:7: error C0000: syntax error");
  EXPECT_EQ(groups[3].file, "data/vesperscript.txt");
  EXPECT_EQ(groups[3].entries.at(0).text, "data/vesperscript.txt:4: unknown command word \"setpiont\"");
}

TEST(EditMessageList, ThePlayersLookupMessageAfterACompileErrorStandsUnderThatFileOnce) {
  const std::deque<std::string> messages = {
      "Error compiling data/shaders/glow.frag",
      "Error compiling shader",
      "0:3(1): error: syntax error",
      "Tried to find a nonexistant shader source: glow.frag",
      "Error compiling data/shaders/glow.frag",
      "Error compiling shader",
      "0:3(1): error: syntax error",
      "Tried to find a nonexistant shader source: glow.frag",
      "Tried to find a nonexistant shader source: plain.glsl",
  };
  const std::vector<MessageGroup> groups = groupMessages(messages, {});
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].file, "data/shaders/glow.frag");
  ASSERT_EQ(groups[0].entries.size(), 2u);
  EXPECT_EQ(groups[0].entries[0].text, "data/shaders/glow.frag:3: error: syntax error");
  EXPECT_EQ(groups[0].entries[1].text, "Tried to find a nonexistant shader source: glow.frag");
  // A name with no stage extension was never compiled: it stays among the messages of no file.
  EXPECT_EQ(groups[1].file, "");
  ASSERT_EQ(groups[1].entries.size(), 1u);
  EXPECT_EQ(groups[1].entries[0].text, "Tried to find a nonexistant shader source: plain.glsl");
}

TEST(EditTimeStatus, AShowWithoutAnEndOfItsOwnGetsNoLength) {
  EXPECT_EQ(timeStatus(12.0, 79.0, false, false), "  12.000 s of 79.000 s   playing");
  EXPECT_EQ(timeStatus(79.0, 79.0, true, true), "  79.000 s of 79.000 s   END");
  // Its music deleted while it played, a show of start-up lines alone runs on the wall clock.
  EXPECT_EQ(timeStatus(8.782, 0.0, false, false), "   8.782 s   playing");
  EXPECT_EQ(timeStatus(8.782, 0.0, true, false), "   8.782 s   PAUSED");
  EXPECT_EQ(timeStatus(20.0, 79.0, true, false, "11.1"), "  20.000 s  11.1  of 79.000 s   PAUSED");
  EXPECT_EQ(timeStatus(8.782, 0.0, false, false, "5.2"), "   8.782 s  5.2    playing");
}

TEST(EditPictureArea, ThePictureKeepsItsProportionsInTheSpaceThePanelsLeave) {
  const PictureArea wide = pictureArea(960, 540, 288, 96);
  EXPECT_EQ(wide.width, 672);
  EXPECT_EQ(wide.height, 378);
  EXPECT_EQ(wide.x, 0);
  EXPECT_EQ(wide.y, 33);
  const PictureArea tall = pictureArea(1000, 1000, 100, 400);
  EXPECT_EQ(tall.width, 600);
  EXPECT_EQ(tall.height, 600);
  EXPECT_EQ(tall.x, 150);
  EXPECT_EQ(tall.y, 0);
  const PictureArea none = pictureArea(1920, 1080, 0, 0);
  EXPECT_EQ(none.width, 1920);
  EXPECT_EQ(none.height, 1080);
  EXPECT_EQ(pictureArea(100, 100, 500, 500).width, 1) << "panels wider than the window leave a pixel";
}

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(NewShowProgram, WritesAShowTheCheckPassesAndNeverOverwritesOne) {
  namespace fs = std::filesystem;
  const fs::path program = fs::path(GLOWMARCH_BINARY_DIR) / "bin" / "glowmarch";
  const fs::path folder = fs::temp_directory_path() / ("glowmarch-new-" + std::to_string(getpid())) / "my show";
  fs::remove_all(folder.parent_path());
  const std::string quoted = "'" + program.string() + "' ";
  ASSERT_EQ(run(quoted + "--new '" + folder.string() + "' >/dev/null"), 0);
  for (const char* file : {"data/vesperscript.txt", "data/shaders/main.vert", "data/shaders/main.frag", "data/cube.obj",
                           "data/textures/profont.png"}) {
    EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
  }
  EXPECT_EQ(fs::file_size(folder / "data/textures/profont.png"),
            fs::file_size(fs::path(GLOWMARCH_SOURCE_DIR) / "showcase/data/textures/profont.png"));
  EXPECT_EQ(run(quoted + "--check '" + folder.string() + "'"), 0) << "the new show is not clean";
  const auto written = fs::last_write_time(folder / "data/vesperscript.txt");
  EXPECT_EQ(run(quoted + "--new '" + folder.string() + "' 2>/dev/null"), 1);
  EXPECT_EQ(fs::last_write_time(folder / "data/vesperscript.txt"), written);
  EXPECT_EQ(run(quoted + "--new 2>/dev/null"), 2);
  EXPECT_EQ(run(quoted + "--new /proc/no/such/place 2>/dev/null"), 1);
  fs::remove_all(folder.parent_path());
}

}  // namespace
}  // namespace glowmarch
