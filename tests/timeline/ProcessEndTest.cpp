#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "timeline/Platform.h"
#include "timeline/Player.h"

namespace glowmarch {
namespace {

std::vector<int> endings;
void recordEnding(int status) { endings.push_back(status); }

void runLine(Player& player, const char* written) {
  std::vector<char> text(written, written + std::strlen(written) + 1);
  ScriptLine line{0.0, text.data(), false};
  executeLine(player, line);
}

void endWithTheDefault() {
  setProcessEnd(recordEnding);
  setProcessEnd(nullptr);
  Player player{Player::NotStarted{}};
  runLine(player, "5 x END");
  std::exit(3);
}

TEST(ProcessEnd, AnInstalledEndIsCalledInsteadOfExitingAndNullRestoresTheExit) {
  endings.clear();
  setProcessEnd(recordEnding);
  Player player{Player::NotStarted{}};
  runLine(player, "5 x END");
  runLine(player, "6 x end");  // not the command: case counts
  runLine(player, "7,x,END,now");
  setProcessEnd(nullptr);
  EXPECT_EQ(endings, (std::vector<int>{0, 0}));

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(endWithTheDefault(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace glowmarch
