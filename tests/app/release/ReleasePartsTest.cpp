// The release's command line, its runtimes' file lists and the sorting of the files a script names:
// what is refused, and with which words.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/release/ReleaseOptions.h"
#include "app/release/Runtime.h"
#include "app/release/ShowFiles.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

std::string read(std::vector<std::string> arguments, ReleaseOptions& options) {
  options = ReleaseOptions();
  return readReleaseOptions(arguments, options);
}

TEST(ReleaseOptions, BothSystemsByDefaultAndAFolderStartingWithADashAfterTwoDashes) {
  ReleaseOptions options;
  ASSERT_EQ(read({"showcase"}, options), "");
  EXPECT_TRUE(options.forLinux && options.forWindows);
  EXPECT_EQ(options.out, "release");
  EXPECT_FALSE(options.force);

  ASSERT_EQ(read({"--windows", "--out=far away", "--force", "--", "-Nu\xc3\xa9" "e demo"}, options), "");
  EXPECT_FALSE(options.forLinux);
  EXPECT_TRUE(options.forWindows && options.force);
  EXPECT_EQ(options.out, "far away");
  EXPECT_EQ(options.show, "-Nu\xc3\xa9" "e demo");

  ASSERT_EQ(read({"--out", "x", "--linux", "show"}, options), "");
  EXPECT_TRUE(options.forLinux && !options.forWindows);
  ASSERT_EQ(read({"--help"}, options), "");
  EXPECT_TRUE(options.help);
}

TEST(ReleaseOptions, RefusesWhatItCannotRead) {
  ReleaseOptions options;
  EXPECT_EQ(read({}, options), "which show? Name its folder");
  EXPECT_EQ(read({"-Nuée"}, options), "unknown option -Nuée");
  EXPECT_EQ(read({"one", "two"}, options), "one show at a time, not also \"two\"");
  EXPECT_EQ(read({"--", "one", "two"}, options), "one show at a time, not also \"two\"");
  EXPECT_EQ(read({"show", "--out"}, options), "--out needs a value");
  EXPECT_EQ(read({"--out=", "show"}, options), "--out needs a folder");
  EXPECT_EQ(read({"--linux=yes", "show"}, options), "--linux takes no value");
}

TEST(RuntimeList, ReadsThePlayerAndItsFilesAndRefusesPathsOutsideTheRuntime) {
  Runtime runtime;
  ASSERT_EQ(readRuntimeList("# made by scripts/runtimes\r\nplayer glowmarch-release\nfile lib/libSDL2-2.0.so.0\n"
                            "\nfile lib/lib with space.so\n",
                            runtime),
            "");
  EXPECT_EQ(runtime.player, "glowmarch-release");
  EXPECT_EQ(runtime.files, (std::vector<std::string>{"lib/libSDL2-2.0.so.0", "lib/lib with space.so"}));

  EXPECT_EQ(readRuntimeList("file lib/a.so\n", runtime), "runtime.txt names no player");
  EXPECT_EQ(readRuntimeList("player a\nplayer b\n", runtime), "runtime.txt line 2: a second player");
  EXPECT_EQ(readRuntimeList("player a\nlibrary b\n", runtime), "runtime.txt line 2: \"library\" is neither player nor file");
  EXPECT_EQ(readRuntimeList("player a\nfile ../../etc/passwd\n", runtime),
            "runtime.txt line 2: \"../../etc/passwd\" is no path inside the runtime");
  EXPECT_EQ(readRuntimeList("player /bin/sh\n", runtime), "runtime.txt line 1: \"/bin/sh\" is no path inside the runtime");
  EXPECT_EQ(readRuntimeList("player\n", runtime), "runtime.txt line 1: \"\" is no path inside the runtime");
}

TEST(RuntimeList, AMissingOrIncompleteRuntimeIsNamedWithHowToMakeIt) {
  testing::ScratchFolder scratch;
  Runtime runtime;
  const fs::path folder = scratch.path() / "runtimes" / "linux-x86_64";
  std::string problem = loadRuntime(linuxRuntime, folder, runtime);
  EXPECT_NE(problem.find("no Linux runtime"), std::string::npos) << problem;
  EXPECT_NE(problem.find("scripts/runtimes"), std::string::npos) << problem;

  scratch.write("runtimes/linux-x86_64/glowmarch-release", "player");
  problem = loadRuntime(linuxRuntime, folder, runtime);
  EXPECT_NE(problem.find("incomplete: runtime.txt is missing"), std::string::npos) << problem;

  scratch.write("runtimes/linux-x86_64/runtime.txt", "player glowmarch-release\nfile lib/libSDL2-2.0.so.0\n");
  problem = loadRuntime(linuxRuntime, folder, runtime);
  EXPECT_NE(problem.find("the Linux runtime in " + folder.string() + " is incomplete: lib/libSDL2-2.0.so.0 is missing"),
            std::string::npos)
      << problem;
  EXPECT_NE(problem.find("scripts/runtimes"), std::string::npos) << problem;

  scratch.write("runtimes/linux-x86_64/lib/libSDL2-2.0.so.0", "library");
  EXPECT_EQ(loadRuntime(linuxRuntime, folder, runtime), "");
  EXPECT_EQ(runtime.folder, folder);
}

TEST(ShowFiles, FilesOutsideDataTravelOnceAndMissingOrOutsideFilesAreProblemsAtTheirLines) {
  const ShowFiles files = sortShowFiles({
      {"data/shaders/main.vert", 3, true},
      {"meshes/cube.obj", 7, true},
      {"./meshes/../meshes/cube.obj", 8, true},
      {"data/textures/../../pictures/sky.png", 9, true},
      {"meshes/gone.obj", 10, false},
      {"data/shaders/../../../outside.frag", 11, true},
      {"/etc/hostname", 12, true},
      {"../elsewhere/gone.obj", 13, false},
  });
  EXPECT_EQ(files.outsideData, (std::vector<std::string>{"meshes/cube.obj", "pictures/sky.png"}));
  EXPECT_EQ(files.problems,
            (std::vector<std::string>{
                "data/vesperscript.txt:10: \"meshes/gone.obj\" is missing",
                "data/vesperscript.txt:11: \"data/shaders/../../../outside.frag\" lies outside the show folder: a "
                "release cannot carry it",
                "data/vesperscript.txt:12: \"/etc/hostname\" lies outside the show folder: a release cannot carry it",
                "data/vesperscript.txt:13: \"../elsewhere/gone.obj\" lies outside the show folder: a release cannot "
                "carry it",
            }));
}

}  // namespace
}  // namespace glowmarch
