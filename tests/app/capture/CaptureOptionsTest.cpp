// The capture program's command line: defaults, both spellings of a value, and a clear refusal of
// everything it cannot use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/capture/CaptureOptions.h"

namespace glowmarch {
namespace {

ParsedCaptureOptions parse(std::vector<std::string> arguments) { return parseCaptureOptions(arguments); }

TEST(CaptureOptions, DefaultsAreSixtyFpsFullHdFromTheStartUntilTheShowEnds) {
  const ParsedCaptureOptions parsed = parse({});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.out, "capture");
  EXPECT_EQ(parsed.options.fps, 60);
  EXPECT_EQ(parsed.options.from, 0.0);
  EXPECT_FALSE(parsed.options.to.has_value());
  EXPECT_EQ(parsed.options.width, 1920);
  EXPECT_EQ(parsed.options.height, 1080);
  EXPECT_FALSE(parsed.options.help);
}

TEST(CaptureOptions, ValuesAreTakenAfterASpaceOrAnEqualsSign) {
  const ParsedCaptureOptions spaced =
      parse({"--out", "frames dir", "--fps", "30", "--from", "1.5", "--to", "12", "--size", "320x180"});
  ASSERT_TRUE(spaced.ok()) << spaced.error;
  EXPECT_EQ(spaced.options.out, "frames dir");
  EXPECT_EQ(spaced.options.fps, 30);
  EXPECT_EQ(spaced.options.from, 1.5);
  ASSERT_TRUE(spaced.options.to.has_value());
  EXPECT_EQ(*spaced.options.to, 12.0);
  EXPECT_EQ(spaced.options.width, 320);
  EXPECT_EQ(spaced.options.height, 180);

  const ParsedCaptureOptions joined = parse({"--out=x=y", "--fps=25", "--from=0", "--to=0.5", "--size=1x16384"});
  ASSERT_TRUE(joined.ok()) << joined.error;
  EXPECT_EQ(joined.options.out, "x=y") << "only the first '=' separates";
  EXPECT_EQ(joined.options.fps, 25);
  EXPECT_EQ(*joined.options.to, 0.5);
  EXPECT_EQ(joined.options.width, 1);
  EXPECT_EQ(joined.options.height, 16384);

  EXPECT_EQ(parse({"--fps", "24", "--fps", "50"}).options.fps, 50) << "the last one counts";
  EXPECT_TRUE(parse({"--help"}).options.help);
  EXPECT_TRUE(parse({"-h", "--fps", "30"}).options.help);
}

TEST(CaptureOptions, BadValuesAndUnknownWordsAreRefusedWithTheOffendingText) {
  struct Case {
    std::vector<std::string> arguments;
    std::string mentioned;
  };
  const std::vector<Case> cases = {
      {{"--fps"}, "--fps needs a value"},
      {{"--fps", "0"}, "\"0\""},
      {{"--fps", "1001"}, "1 to 1000"},
      {{"--fps", "30fps"}, "\"30fps\""},
      {{"--fps", "2.5"}, "\"2.5\""},
      {{"--fps", "+30"}, "\"+30\""},
      {{"--fps", "99999999999999999999"}, "--fps"},
      {{"--fps="}, "\"\""},
      {{"--from", "-1"}, "0 or more"},
      {{"--from", "nan"}, "\"nan\""},
      {{"--to", "inf"}, "\"inf\""},
      {{"--to", "1e400"}, "--to"},
      {{"--to", "0x10"}, "\"0x10\""},
      {{"--to", " 5"}, "\" 5\""},
      {{"--from", "1e7"}, "beyond any show"},
      {{"--from", "5", "--to", "5"}, "--to must come after --from"},
      {{"--from", "6", "--to", "5"}, "--to must come after --from"},
      {{"--size", "1920"}, "WIDTHxHEIGHT"},
      {{"--size", "1920x"}, "\"1920x\""},
      {{"--size", "x1080"}, "\"x1080\""},
      {{"--size", "0x1080"}, "\"0x1080\""},
      {{"--size", "16385x10"}, "16384"},
      {{"--size", "-4x-4"}, "\"-4x-4\""},
      {{"--size", "10X10"}, "\"10X10\""},
      {{"--out", ""}, "--out needs a folder"},
      {{"--out="}, "--out needs a folder"},
      {{"--help=yes"}, "--help takes no value"},
      {{"--speed", "2"}, "unknown option --speed"},
      {{"-o", "dir"}, "unknown option -o"},
      {{"frames"}, "unexpected argument \"frames\""},
      {{"--part", "0/2"}, "\"0/2\""},
      {{"--part", "3/2"}, "1 <= K <= N"},
      {{"--part", "1/10001"}, "\"1/10001\""},
      {{"--video", "show.avi"}, ".mp4, .mkv or .webm, not \"show.avi\""},
      {{"--video", ""}, "--video needs a file name"},
      {{"--video", "show.mp4", "--out", "frames"}, "--video writes one file"},
      {{"--video", "show.mp4", "--size", "640x361"}, "even width and height, not 640x361"},
      {{"--video", "show.mp4", "--crf", "52"}, "libx264 goes from 0 to 51"},
      {{"--video", "show.webm", "--crf", "64"}, "not \"64\""},
      {{"--crf", "20"}, "give --video FILE"},
      {{"--preset", "fast"}, "give --video FILE"},
      {{"--video", "show.mp4", "--preset", "quick"}, "ultrafast, superfast"},
      {{"--work", "parts"}, "give --part K/N"},
      {{"--plan=yes"}, "--plan takes no value"},
  };
  for (const Case& bad : cases) {
    const ParsedCaptureOptions parsed = parseCaptureOptions(bad.arguments);
    std::string line;
    for (const std::string& argument : bad.arguments) line += "[" + argument + "] ";
    EXPECT_FALSE(parsed.ok()) << line;
    EXPECT_NE(parsed.error.find(bad.mentioned), std::string::npos) << line << "-> " << parsed.error;
  }
}

TEST(CaptureOptions, AVideoTakesItsQualityAndAPartIsTheKthOfN) {
  const ParsedCaptureOptions parsed = parse({"--video=out/show.WEBM", "--crf", "63", "--part", "2/3"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.video, "out/show.WEBM");
  EXPECT_EQ(parsed.options.crf, 63);
  EXPECT_EQ(parsed.options.part, 2);
  EXPECT_EQ(parsed.options.parts, 3);
  const ParsedCaptureOptions whole = parse({"--video", "show.mkv"});
  ASSERT_TRUE(whole.ok()) << whole.error;
  EXPECT_FALSE(whole.options.crf.has_value()) << "the format's own default";
  EXPECT_EQ(whole.options.part, 1);
  EXPECT_EQ(whole.options.parts, 1);
  EXPECT_EQ(whole.options.preset, "") << "the encoder's own speed";
  const ParsedCaptureOptions farmed = parse({"--video", "s.mp4", "--preset=veryfast", "--part", "1/2", "--work", "w",
                                             "--plan"});
  ASSERT_TRUE(farmed.ok()) << farmed.error;
  EXPECT_EQ(farmed.options.preset, "veryfast");
  EXPECT_EQ(farmed.options.work, "w");
  EXPECT_TRUE(farmed.options.plan);
}

TEST(CaptureOptions, TheUsageNamesEveryOptionAndItsDefault) {
  const std::string usage = captureUsage();
  for (const char* word : {"--out DIR", "--fps N", "--from S", "--to S", "--size WxH", "--help", "default: 60",
                           "default: 1920x1080", "\"END\"", "music.wav", "frame000000.png", "--video FILE",
                           "--crf N", "--part K/N", "--preset P", "--work DIR", "--plan"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace glowmarch
