// The beat file as a person writes it by hand (comments, line ends of any system, mistakes) and as
// `glowmarch --beats` writes it, and the beat position the shaders' "musicbeat" gets from it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/BeatFile.h"

namespace glowmarch::audio {
namespace {

TEST(BeatFile, ReadsTimesBetweenCommentsAndBlankLinesWithAnyLineEnds) {
  const std::string text =
      "\xEF\xBB\xBF# beats of my tune\r\n"
      "0.5\r\n"
      "\r\n"
      "  1.0   # the first bar starts here\n"
      "1.5\r"
      "2\n"
      "\t2.5\t\n"
      "# beats per bar: 3\n"
      "3.0";
  const BeatFile file = parseBeatFile(text);
  EXPECT_EQ(file.beats, (std::vector<double>{0.5, 1.0, 1.5, 2.0, 2.5, 3.0}));
  EXPECT_EQ(file.beatsPerBar, 3);
  EXPECT_TRUE(file.skipped.empty()) << file.skipped.front().line << ": " << file.skipped.front().reason;
  EXPECT_TRUE(parseBeatFile("").beats.empty());
}

TEST(BeatFile, SkipsAndNamesEachLineItCannotTakeAndKeepsTheRest) {
  const std::string text =
      "1.0\n"         // 1
      "two\n"         // 2: no number
      "1,5\n"         // 3: a decimal comma
      "2.0\n"         // 4
      "1.8\n"         // 5: before the beat before it
      "2.0\n"         // 6: the same beat twice
      "-0.5\n"        // 7: before the music
      "3.0 4.0\n"     // 8: two numbers
      "nan\n"         // 9
      "inf\n"         // 10
      "0x10\n"        // 11
      "# beats per bar: 0\n"  // 12
      "3.0\n";        // 13
  const BeatFile file = parseBeatFile(text);
  EXPECT_EQ(file.beats, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_EQ(file.beatsPerBar, 4);
  std::vector<int> lines;
  for (const SkippedBeatLine& skipped : file.skipped) lines.push_back(skipped.line);
  EXPECT_EQ(lines, (std::vector<int>{2, 3, 5, 6, 7, 8, 9, 10, 11, 12}));
  ASSERT_EQ(file.skipped.size(), 10u);
  EXPECT_EQ(file.skipped[0].reason, "not a time in seconds");
  EXPECT_NE(file.skipped[1].reason.find("decimal comma"), std::string::npos);
  EXPECT_EQ(file.skipped[2].reason, "not after the beat before it (2.0000 s, line 4)");
  EXPECT_EQ(file.skipped[4].reason, "before the music's start");
}

TEST(BeatFile, WhatItWritesReadsBackToTheTenthOfAMillisecond) {
  const std::vector<double> beats = {0.49912, 0.99912, 1.4991, 123.45678};
  const std::string text = formatBeatFile(beats, 4, {"Beats of a tune", "Edit as you like."});
  EXPECT_EQ(text.substr(0, 40), "# Beats of a tune\n# Edit as you like.\n# ");
  const BeatFile file = parseBeatFile(text);
  EXPECT_TRUE(file.skipped.empty());
  EXPECT_EQ(file.beatsPerBar, 4);
  ASSERT_EQ(file.beats.size(), beats.size());
  for (std::size_t i = 0; i < beats.size(); ++i) EXPECT_NEAR(file.beats[i], beats[i], 0.00005);
}

TEST(BeatFile, PositionCountsBeatsPassedPlusTheFractionToTheNextAndCarriesOnAtBothEnds) {
  const std::vector<double> beats = {1.0, 1.5, 2.5, 3.0};
  struct Case {
    double seconds;
    double position;
  };
  // Worked out by hand: half a beat is 0.25 s before the second beat, 0.5 s before the third.
  for (const Case c : {Case{1.0, 0.0}, {1.25, 0.5}, {1.5, 1.0}, {2.0, 1.5}, {2.5, 2.0}, {2.75, 2.5},
                       {3.0, 3.0}, {3.25, 3.5}, {4.0, 5.0}, {0.75, -0.5}, {0.0, -2.0}}) {
    EXPECT_DOUBLE_EQ(beatPosition(beats, c.seconds), c.position) << "at " << c.seconds << " s";
  }
}

}  // namespace
}  // namespace glowmarch::audio
