#include "app/platform/EncoderPipe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/platform/System.h"
#include "resources/Utf8Path.h"

namespace glowmarch {
namespace {

// This test program, which is also the stand-in encoder (PlatformTestMain.cpp).
std::string self() {
  const std::filesystem::path folder = system::executableFolder();
  for (const char* name : {"tests_platform.exe", "tests_platform"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / name, error)) return nativeUtf8(folder / name);
  }
  return {};
}

std::vector<std::string> standIn(std::vector<std::string> rest) {
  rest.insert(rest.begin(), "--encoder-stand-in");
  return rest;
}

TEST(EncoderPipe, EveryByteReachesTheEncoderAndItsArgumentsArriveWhole) {
  const std::string program = self();
  ASSERT_FALSE(program.empty());
  // Spaces, quotes, backslashes before a quote and at the end, an empty word, names outside ASCII:
  // what a command line may mangle on its way into the program.
  const std::vector<std::string> words = {"plain", "two words", "say \"hi\"", "back\\\\\"slash", "ends\\",
                                          "", "\xd1\x88\xd0\xbe\xd1\x83 \xe8\xa1\xa8.mp4", "C:\\a b\\c.wav"};
  std::vector<std::string> arguments = {"read", "3"};
  arguments.insert(arguments.end(), words.begin(), words.end());
  EncoderPipe encoder;
  std::string error;
  ASSERT_TRUE(encoder.start(program, standIn(arguments), error)) << error;
  // More than any pipe holds, in pieces of a frame's size; no byte a text mode would change.
  const std::vector<std::uint8_t> frame(3 * 1024 * 1024 + 17, 'x');
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(encoder.write(frame.data(), frame.size(), error)) << error;
  EXPECT_FALSE(encoder.finish(error)) << "the stand-in ends with 3";
  std::string expected = "read " + std::to_string(3 * frame.size()) + " bytes;";
  for (const std::string& word : words) expected += " [" + word + "]";
  const std::string name = nativeUtf8(pathFromUtf8(program).filename());
  EXPECT_EQ(error, name + " failed with exit status 3: " + expected);
}

TEST(EncoderPipe, AFailureNamesTheEncodersLastWordsAndAnEncoderThatStopsReadingFailsTheWrite) {
  const std::string program = self();
  ASSERT_FALSE(program.empty());
  EncoderPipe encoder;
  std::string error;
  ASSERT_TRUE(encoder.start(program, standIn({"fail"}), error)) << error;
  EXPECT_FALSE(encoder.finish(error));
  EXPECT_NE(error.find("failed with exit status 1: frame size mismatch"), std::string::npos) << error;

  ASSERT_TRUE(encoder.start(program, standIn({"quit"}), error)) << error;
  const std::vector<std::uint8_t> frame(8 * 1024 * 1024, 'x');
  bool written = true;
  for (int i = 0; i < 4 && written; ++i) written = encoder.write(frame.data(), frame.size(), error);
  EXPECT_FALSE(written) << "nothing reads the pipe";
  EXPECT_NE(error.find("stopped reading its input"), std::string::npos) << error;
  EXPECT_FALSE(encoder.finish(error));
}

TEST(EncoderPipe, StopFromAnotherThreadLetsABlockedWriteGoAndAMissingProgramIsNotFound) {
  const std::string program = self();
  ASSERT_FALSE(program.empty());
  EncoderPipe encoder;
  std::string error;
  ASSERT_TRUE(encoder.start(program, standIn({"hang"}), error)) << error;
  std::thread stopper([&encoder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    encoder.stop();
  });
  const std::vector<std::uint8_t> frame(8 * 1024 * 1024, 'x');
  bool written = true;
  for (int i = 0; i < 4 && written; ++i) written = encoder.write(frame.data(), frame.size(), error);
  stopper.join();
  EXPECT_FALSE(written);
  encoder.abort();

  EXPECT_EQ(findProgram(program), program);
  EXPECT_EQ(findProgram("glowmarch-no-such-program"), "");
  // POSIX finds out in the child, after the fork; Windows at once.
  if (encoder.start(nativeUtf8(system::executableFolder() / "no-such-encoder"), {}, error)) {
    EXPECT_FALSE(encoder.finish(error));
  }
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace glowmarch
