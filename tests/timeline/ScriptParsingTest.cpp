#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "timeline/Script.h"

namespace glowmarch {
namespace {

struct Parsed {
  std::vector<char> buffer;
  std::vector<ScriptLine> lines;
};

Parsed parse(const std::string& text) {
  Parsed parsed;
  parsed.buffer.assign(text.begin(), text.end());
  parsed.buffer.resize(text.size() + 4, 'X');  // spare bytes are not initialised by the reader
  parsed.lines = splitScript(parsed.buffer.data(), text.size());
  return parsed;
}

std::vector<std::string> texts(const Parsed& parsed) {
  std::vector<std::string> out;
  for (const ScriptLine& line : parsed.lines) out.emplace_back(line.text);
  return out;
}

TEST(ScriptParsing, CrLfLfAndCrEndingsGiveTheSameLines) {
  const std::vector<std::string> expected = {"-1 cam new camera", "2.5 cam setpoint 0 1 2"};
  for (const char* ending : {"\r\n", "\n", "\r", "\n\r"}) {
    const std::string e = ending;
    const Parsed parsed = parse("-1 cam new camera" + e + "2.5 cam setpoint 0 1 2" + e);
    EXPECT_EQ(texts(parsed), expected) << "ending bytes " << e.size();
    ASSERT_EQ(parsed.lines.size(), 2u);
    EXPECT_EQ(parsed.lines[0].time, -1.0);
    EXPECT_EQ(parsed.lines[1].time, 2.5);
    EXPECT_FALSE(parsed.lines[1].executed);
  }
}

TEST(ScriptParsing, BlankLinesCommentsAndLinesWithoutTimeStampsLeaveNoTrace) {
  const Parsed parsed = parse(
      "1 a new demoeffect\n\n\n"
      "# 2 comment\n"
      "B3 skipped\n"
      "b4 lower case b has no number\n"
      " #5 space then hash\n"
      "6x glued letters\n"
      "   7 indented\n"
      "cam new camera\n"
      "8 last without break");
  EXPECT_EQ(texts(parsed), (std::vector<std::string>{"1 a new demoeffect", "6x glued letters", "   7 indented",
                                                     "8 last without break"}));
  EXPECT_EQ(parsed.lines[1].time, 6.0);
  EXPECT_EQ(parsed.lines[2].time, 7.0);
}

TEST(ScriptParsing, EmptyAndBreakOnlyFilesGiveNoLines) {
  EXPECT_TRUE(parse("").lines.empty());
  EXPECT_TRUE(parse("\n").lines.empty());
  EXPECT_TRUE(parse("\r\n\r\n\n").lines.empty());
  const Parsed one = parse("5");
  ASSERT_EQ(one.lines.size(), 1u);
  EXPECT_STREQ(one.lines[0].text, "5");
}

TEST(ScriptParsing, ExponentsAndSignsAreReadAsTimeStamps) {
  const Parsed parsed = parse("1e1 a b\n-0.5 c d\n+3 e f\n");
  ASSERT_EQ(parsed.lines.size(), 3u);
  EXPECT_EQ(parsed.lines[0].time, 10.0);
  EXPECT_EQ(parsed.lines[1].time, -0.5);
  EXPECT_EQ(parsed.lines[2].time, 3.0);
}

}  // namespace
}  // namespace glowmarch
