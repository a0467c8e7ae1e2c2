#include "app/platform/System.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "resources/Utf8Path.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

std::string copied;
void keepCopy(const char* bytes, std::size_t size) { copied.append(bytes, size); }

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SystemOutput, EverythingPrintedReachesTheCopyLineForLineWithPlainLineBreaks) {
  ASSERT_TRUE(system::copyStandardOutput(keepCopy));
  std::printf("Error compiling data/shaders/main.frag\n");
  std::fputs("0:3(1): error: syntax error\n", stdout);
  std::printf("Couldn't load %s", "data/box.obj");
  std::printf("\n");
  system::takeCopiedOutput();
  const std::string expected =
      "Error compiling data/shaders/main.frag\n0:3(1): error: syntax error\nCouldn't load data/box.obj\n";
  EXPECT_NE(copied.find(expected), std::string::npos) << copied;
}

// Names outside ASCII as the programs hold them (UTF-8) through the C library and std::filesystem.
TEST(SystemFiles, UnicodeNamesReplacingRenamesAndWritableFolders) {
  const fs::path folder = fs::temp_directory_path() / ("glowmarch-files-" + std::to_string(std::random_device()()));
  const std::string name = nativeUtf8(folder) + "/\xd1\x88\xd0\xbe\xd1\x83-\xe8\xa1\xa8\xe6\xbc\x94";  // шоу-表演
  fs::create_directories(pathFromUtf8(name));
  const std::string file = name + "/\xce\xba\xcf\x8d\xce\xb2\xce\xbf\xcf\x82.obj";  // κύβος.obj
  std::FILE* written = std::fopen(file.c_str(), "wb");
  ASSERT_NE(written, nullptr) << "the C library opens a UTF-8 name";
  std::fputs("v 0 0 0\n", written);
  std::fclose(written);
  std::error_code error;
  EXPECT_EQ(fs::file_size(pathFromUtf8(file), error), 8u);
  std::string listed;
  for (const fs::directory_entry& entry : fs::directory_iterator(pathFromUtf8(name))) listed += nativeUtf8(entry.path().filename());
  EXPECT_EQ(listed, "\xce\xba\xcf\x8d\xce\xb2\xce\xbf\xcf\x82.obj");

  const fs::path part = pathFromUtf8(name) / ".frame.png.part";
  std::ofstream(part) << "new";
  std::ofstream(pathFromUtf8(file)) << "old";
  std::string reason;
  ASSERT_TRUE(system::moveOver(part, pathFromUtf8(file), reason)) << reason;
  EXPECT_EQ(contents(pathFromUtf8(file)), "new");
  EXPECT_FALSE(fs::exists(part));
  EXPECT_FALSE(system::moveOver(part, pathFromUtf8(file), reason));
  EXPECT_FALSE(reason.empty());

  EXPECT_TRUE(system::canWriteIn(pathFromUtf8(name), reason)) << reason;
  EXPECT_FALSE(system::canWriteIn(pathFromUtf8(name) / "missing", reason));
  fs::remove_all(folder, error);
}

}  // namespace
}  // namespace glowmarch
