// Which frames a capture runs and writes, the time and clock tick of each, the file names and the
// progress line.
#include <gtest/gtest.h>

#include <string>

#include "app/capture/CapturePart.h"
#include "app/capture/CapturePlan.h"

namespace glowmarch {
namespace {

TEST(CapturePlan, FiveSecondsAtThirtyFpsAreOneHundredAndFiftyFramesAndDecimalTimesLandOnTheirFrame) {
  const auto plan = planCapture(30, 0.0, 5.0, std::nullopt);
  ASSERT_TRUE(plan.has_value());
  EXPECT_EQ(plan->first, 0u);
  EXPECT_EQ(plan->end, 150u);
  EXPECT_EQ(plan->count(), 150u);

  // 0.1 * 30 is 3.0000000000000004 in doubles; the frame at 0.1 s is frame 3, not 4.
  EXPECT_EQ(firstFrameAt(0.1, 30), 3u);
  EXPECT_EQ(firstFrameAt(0.7, 60), 42u);
  EXPECT_EQ(firstFrameAt(1.0 / 3.0, 30), 10u);
  // Between two frames: the next one.
  EXPECT_EQ(firstFrameAt(0.101, 30), 4u);
  EXPECT_EQ(firstFrameAt(0.0, 60), 0u);
  EXPECT_EQ(firstFrameAt(-1.0, 60), 0u);

  const auto late = planCapture(60, 4.0, 5.0, std::uint64_t{44100 * 100});
  ASSERT_TRUE(late.has_value());
  EXPECT_EQ(late->first, 240u) << "the frames before --from run but are not written";
  EXPECT_EQ(late->end, 300u);
  EXPECT_EQ(late->count(), 60u);
}

TEST(CapturePlan, WithoutAnEndTheMusicEndsTheCaptureAtTheLastFrameThatStillHearsASample) {
  // One second of music exactly: frames 0 to 29 at 30 fps.
  EXPECT_EQ(planCapture(30, 0.0, std::nullopt, std::uint64_t{44100})->end, 30u);
  // One sample more and frame 30 (at exactly 1 s) still hears it.
  EXPECT_EQ(planCapture(30, 0.0, std::nullopt, std::uint64_t{44101})->end, 31u);
  EXPECT_EQ(firstFrameAfterMusic(0, 60), 0u);
  EXPECT_EQ(firstFrameAfterMusic(1, 60), 1u);
  // A given end wins over the music's, before or after it: the show runs on its clock after the music.
  EXPECT_EQ(planCapture(30, 0.0, 2.0, std::uint64_t{44100})->end, 60u);
  EXPECT_EQ(planCapture(30, 0.0, 0.5, std::uint64_t{44100})->end, 15u);
  // Nothing ends a capture with neither.
  EXPECT_FALSE(planCapture(30, 0.0, std::nullopt, std::nullopt).has_value());
  // Starting past the music's end leaves nothing to write.
  EXPECT_EQ(planCapture(30, 2.0, std::nullopt, std::uint64_t{44100})->count(), 0u);
}

TEST(CapturePlan, FrameTimesAreExactAndTheMillisecondClockTakesTheNearestTick) {
  EXPECT_EQ(frameSeconds(0, 30), 0.0);
  EXPECT_EQ(frameSeconds(45, 30), 1.5);
  EXPECT_EQ(frameSeconds(1, 3), 1.0 / 3.0);

  EXPECT_EQ(frameMilliseconds(0, 30), 0u);
  EXPECT_EQ(frameMilliseconds(1, 30), 33u);
  EXPECT_EQ(frameMilliseconds(2, 30), 67u);
  EXPECT_EQ(frameMilliseconds(3, 30), 100u);
  EXPECT_EQ(frameMilliseconds(1, 60), 17u);
  EXPECT_EQ(frameMilliseconds(1, 1000), 1u);
  EXPECT_EQ(frameMilliseconds(7, 1), 7000u);
  // Steps differ by at most one tick from 1000 / fps, and never go back.
  for (std::uint64_t n = 1; n < 1000; ++n) {
    const std::uint32_t step = frameMilliseconds(n, 60) - frameMilliseconds(n - 1, 60);
    EXPECT_TRUE(step == 16 || step == 17) << n;
  }
  // Ten hours of frames stay exact in the 32-bit clock.
  EXPECT_EQ(frameMilliseconds(36000ull * 60, 60), 36000000u);

  EXPECT_EQ(frameSample(0, 30), 0u);
  EXPECT_EQ(frameSample(30, 30), 44100u);
  EXPECT_EQ(frameSample(1, 60), 735u);
  EXPECT_EQ(frameSample(1, 7), 6300u);
  EXPECT_EQ(frameSample(1, 1000), 44u) << "the sample the frame's time falls in";
}

TEST(CapturePart, PartsAreConsecutiveAsEqualAsWholeFramesAllowAndMakeTheWhole) {
  // 45 frames from frame 30 in two parts: 22 and 23.
  EXPECT_EQ(partOfFrames(30, 75, 1, 2).first, 30u);
  EXPECT_EQ(partOfFrames(30, 75, 1, 2).end, 52u);
  EXPECT_EQ(partOfFrames(30, 75, 2, 2).first, 52u);
  EXPECT_EQ(partOfFrames(30, 75, 2, 2).end, 75u);
  for (const std::uint64_t count : {0ull, 1ull, 7ull, 100ull, 1000003ull}) {
    for (const int parts : {1, 2, 3, 8, 13}) {
      std::uint64_t next = 5;
      for (int part = 1; part <= parts; ++part) {
        const FrameSpan span = partOfFrames(5, 5 + count, part, parts);
        EXPECT_EQ(span.first, next) << count << " " << part << "/" << parts;
        EXPECT_LE(span.end - span.first, count / parts + 1);
        EXPECT_GE(span.end - span.first, count / parts);
        next = span.end;
      }
      EXPECT_EQ(next, 5 + count) << count << " frames in " << parts;
    }
  }
  // Near the top of the range nothing overflows.
  const std::uint64_t huge = ~0ull - 10;
  EXPECT_EQ(partOfFrames(0, huge, 3, 3).end, huge);
  EXPECT_EQ(partOfFrames(0, 9, 0, 3).end, 0u) << "no part 0";
}

TEST(CapturePlan, FilesAreNumberedWithSixDigitsFromZero) {
  EXPECT_EQ(frameFileName(0), "frame000000.png");
  EXPECT_EQ(frameFileName(42), "frame000042.png");
  EXPECT_EQ(frameFileName(maxCaptureFrames - 1), "frame999999.png");
}

TEST(CaptureProgress, TheLineShowsTheBarFramesMusicTimeAndAnEstimateOfTheTimeLeft) {
  CapturePlan plan;
  plan.fps = 30;
  plan.first = 0;
  plan.end = 150;
  EXPECT_EQ(progressText(plan, 0, 0.0, 0.0), "[------------------------] 0/150 frames, music 0.000 s, time left unknown");
  // Half done in 10 s: 10 s to go.
  EXPECT_EQ(progressText(plan, 75, 2.5, 10.0),
            "[############------------] 75/150 frames, music 2.500 s, about 0:10 left");
  EXPECT_EQ(progressText(plan, 150, 5.0, 20.0),
            "[########################] 150/150 frames, music 5.000 s, about 0:00 left");

  // Skipped frames count for the bar; each phase is estimated from its own pace, and the written
  // count starts at --from.
  plan.first = 90;
  plan.end = 180;
  EXPECT_EQ(progressText(plan, 45, 1.5, 1.0),
            "[######------------------] skipping to 3.000 s, frame 45/90, music 1.500 s, about 0:01 to get there");
  EXPECT_EQ(progressText(plan, 0, 0.0, 0.0),
            "[------------------------] skipping to 3.000 s, frame 0/90, music 0.000 s, time to get there unknown");
  EXPECT_EQ(progressText(plan, 90, 3.0, 0.0),
            "[############------------] 0/90 frames, music 3.000 s, time left unknown");
  EXPECT_EQ(progressText(plan, 120, 4.0, 100.0),
            "[################--------] 30/90 frames, music 4.000 s, about 3:20 left");

  EXPECT_EQ(clockText(0.0), "0:00");
  EXPECT_EQ(clockText(59.4), "0:59");
  EXPECT_EQ(clockText(65.0), "1:05");
  EXPECT_EQ(clockText(3723.0), "1:02:03");
  EXPECT_EQ(clockText(-5.0), "0:00");
  EXPECT_EQ(clockText(1e300), "277777:46:40") << "an absurd estimate stays a number";
}

}  // namespace
}  // namespace glowmarch
