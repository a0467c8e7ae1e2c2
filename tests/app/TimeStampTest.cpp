// The stamp `C` copies: pasted into the script, the line runs in the very frame that was shown, with
// the music's clock and with the millisecond clock of a show without music, judged by the player's
// own reading of stamps and its own test of a line falling due.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/edit/TimeStamp.h"
#include "timeline/FrameClock.h"
#include "timeline/FrameLoop.h"
#include "timeline/Script.h"

namespace glowmarch {
namespace {

// The stamp as the player reads it from a script line.
double readByThePlayer(const std::string& stamp) {
  std::string line = stamp + " cam setpoint 0,0,0";
  auto buffer = std::make_unique<char[]>(line.size() + 4);
  std::memcpy(buffer.get(), line.data(), line.size());
  const std::vector<ScriptLine> lines = splitScript(buffer.get(), line.size());
  EXPECT_EQ(lines.size(), 1u) << stamp;
  return lines.empty() ? 0.0 : lines.front().time;
}

TEST(TimeStamp, ALineStampedAsCopiedRunsInTheFrameShownAndNotBefore) {
  for (std::uint64_t frame = 0; frame <= 36000; ++frame) {
    const std::string stamp = stampForFrame(frame);
    const ScriptLine line{readByThePlayer(stamp), nullptr, false};
    // The frame's music time with music, and without (the millisecond clock from the show's start).
    for (const bool music : {true, false}) {
      const auto timeOf = [music](std::uint64_t n) {
        return music ? frameSeconds(n, 60) : secondsBetween(0, frameMilliseconds(n, 60));
      };
      if (frame == 0) {
        EXPECT_LT(line.time, 0.0) << "frame 0 shows the start-up lines: " << stamp;
        continue;
      }
      ASSERT_TRUE(isDue(line, timeOf(frame))) << stamp << " does not run in frame " << frame << (music ? "" : " without music");
      ASSERT_FALSE(isDue(line, timeOf(frame - 1))) << stamp << " runs before frame " << frame << (music ? "" : " without music");
    }
    ASSERT_LE(stamp.size(), 9u) << stamp;
  }
  EXPECT_EQ(stampForFrame(462), "7.699");  // 7.7 s
  EXPECT_EQ(stampForFrame(463), "7.716");
  EXPECT_EQ(stampForFrame(464), "7.732");  // 7.733 s, whose millisecond clock reads 7.733
  EXPECT_EQ(stampForFrame(0), "-0.001");
  EXPECT_EQ(stampBefore(8.0004), "8");
  EXPECT_EQ(stampBefore(7.6905), "7.69");
  EXPECT_EQ(stampBefore(12.0), "11.999");
}

}  // namespace
}  // namespace glowmarch
