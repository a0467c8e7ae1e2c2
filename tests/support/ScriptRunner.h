// Runs script lines through the interpreter one at a time, as the timeline runs them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "timeline/Player.h"

namespace glowmarch::testing {

class ScriptRunner {
 public:
  // Runs one line (its time stamp read as the timeline reads it) and returns what it printed.
  std::string run(const std::string& text) {
    buffers.emplace_back(text.begin(), text.end());
    buffers.back().push_back('\0');  // the line's text lives as long as the runner, like the script buffer
    double time = 0.0;
    std::sscanf(buffers.back().data(), "%lf", &time);
    ScriptLine line{time, buffers.back().data(), false};
    ::testing::internal::CaptureStdout();
    executeLine(player, line);
    std::fflush(stdout);
    EXPECT_TRUE(line.executed) << text;
    return ::testing::internal::GetCapturedStdout();
  }

  Player player{Player::NotStarted{}};

 private:
  std::deque<std::vector<char>> buffers;
};

}  // namespace glowmarch::testing
