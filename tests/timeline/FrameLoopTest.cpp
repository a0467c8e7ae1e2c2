#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "effects/FrameValues.h"
#include "timeline/FrameLoop.h"

namespace glowmarch {
namespace {

TEST(SpectrumWeighting, BinsAreScaledBySquareRootOfLogKPlusOne) {
  EXPECT_EQ(spectrumWeight(0), 0.0);
  EXPECT_NEAR(spectrumWeight(1), 0.83255, 5e-6);
  EXPECT_NEAR(spectrumWeight(2), 1.04815, 5e-6);
  EXPECT_NEAR(spectrumWeight(15), 1.66511, 5e-6);
  EXPECT_NEAR(spectrumWeight(255), 2.35482, 5e-6);

  float bins[spectrumBins];
  for (int k = 0; k < spectrumBins; ++k) bins[k] = 0.5f;
  bins[0] = 1e30f;  // bin 0 is always 0, however loud the input
  weightSpectrum(bins);
  EXPECT_EQ(bins[0], 0.0f);
  for (int k = 1; k < spectrumBins; ++k) {
    // The product is formed in double and rounded once.
    EXPECT_EQ(bins[k], static_cast<float>(std::sqrt(std::log(k + 1.0)) * 0.5)) << "bin " << k;
  }
}

TEST(FrameRateText, FirstFrameShowsZeroNotNanAndLaterTheMeanRate) {
  char text[fpsTextSize];
  formatFrameRate(text, 0, 0.0);
  EXPECT_STREQ(text, "text;0.000000 fps");
  formatFrameRate(text, 3, 0.0);  // frames counted but no time yet: still no inf
  EXPECT_STREQ(text, "text;0.000000 fps");
  formatFrameRate(text, 120, 2.0);
  EXPECT_STREQ(text, "text;60.000000 fps");
  // The highest rate the clocks can give still fits, whole.
  formatFrameRate(text, std::numeric_limits<std::uint32_t>::max(), 0.001);
  EXPECT_STREQ(text, "text;4294967295000.000000 fps");
}

TEST(FrameClock, MillisecondDifferencesSurviveTheClockWrapping) {
  EXPECT_EQ(secondsBetween(1000, 3500), 2.5);
  EXPECT_EQ(secondsBetween(0xFFFFFF00u, 0x100u), 0.512);
}

TEST(DueLines, ALineIsDueOnlyStrictlyAfterItsTimeAndOnlyOnce) {
  char text[] = "2 a b";
  ScriptLine line{2.0, text, false};
  EXPECT_FALSE(isDue(line, 1.999));
  EXPECT_FALSE(isDue(line, 2.0));
  EXPECT_TRUE(isDue(line, 2.0000001));
  line.executed = true;
  EXPECT_FALSE(isDue(line, 3.0));
}

}  // namespace
}  // namespace glowmarch
