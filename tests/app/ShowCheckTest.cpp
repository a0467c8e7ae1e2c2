// The show check: a show with every silent mistake planted is named line by line; the showcase and
// the soak show check clean; the program's exit code says which is which.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/check/ShowCheck.h"
#include "effects/EffectRegistry.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

const fs::path source = GLOWMARCH_SOURCE_DIR;
const fs::path planted = source / "tests" / "app" / "check";
const fs::path showcase = source / "showcase";

std::vector<Finding> checkIn(const fs::path& folder) {
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  std::vector<Finding> findings = checkShow();
  fs::current_path(previous);
  return findings;
}

std::vector<std::string> places(const std::vector<Finding>& findings) {
  std::vector<std::string> list;
  for (const Finding& finding : findings) list.push_back(finding.file + ":" + std::to_string(finding.line));
  return list;
}

std::string all(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& finding : findings) text += formatFinding(finding) + "\n";
  return text;
}

using ShowCheck = testing::GlTest;

TEST_F(ShowCheck, NamesEveryPlantedMistakeAtItsFileAndLine) {
  const std::vector<Finding> findings = checkIn(planted);
  const std::string script = "data/vesperscript.txt:";
  const std::vector<std::string> expected = {
      "data/music/QX07Synthpop_FINAL.mp3:0",  // missing; another file name is there
      "data/shaders/broken.frag:7",           // does not compile (two errors on the line)
      "data/shaders/broken.frag:7",
      script + "6",   // shader source not found
      script + "7",   // no stage extension
      script + "8",   // does not link
      script + "11",  // "setpiont"
      script + "12",  // never made
      script + "13",  // used before it is made
      script + "16",  // tabs between words
      script + "17",  // a model's program without in_position
      script + "20",  // indented
      script + "21",  // decimal comma
      script + "24",  // OBJ cannot be opened
      script + "28",  // OBJ without faces
      script + "31",  // not a PNG
      script + "32",  // no such picture
      script + "33",  // no such program
      script + "34",  // "aspekt"
      script + "36",  // made but never drawn (the sphere used by init and the text used by clone are not)
      script + "45",  // unknown type
      script + "46",  // too few coordinates
      script + "47",  // comma and space: an empty word
      script + "48",  // no time stamp
      script + "50",  // after END
  };
  EXPECT_EQ(places(findings), expected) << all(findings);

  const std::string text = all(findings);
  for (const char* words : {"rename data/music/mysong.mp3", "`brightness' undeclared", "data/shaders/missing.frag",
                            "did you mean \"setpoint\"?", "\"ghost\" is never made", "line 14 makes it",
                            "no \"in_position\"", "write 1.5", "did you mean \"aspect\"?", "\"spare\" is made but never drawn",
                            "did you mean \"text\"?", "the END on line 49"}) {
    EXPECT_NE(text.find(words), std::string::npos) << words << " not in:\n" << text;
  }
  // Read, not played: nothing was made.
  EXPECT_EQ(effects.size(), 0u);

  // Music that is not an MP3 is named as such.
  testing::ScratchFolder folder;
  folder.write("data/vesperscript.txt", "");
  folder.write("data/music/QX07Synthpop_FINAL.mp3", "not music\n");
  const std::vector<Finding> music = checkShow();
  ASSERT_EQ(music.size(), 1u) << all(music);
  EXPECT_NE(formatFinding(music[0]).find("data/music/QX07Synthpop_FINAL.mp3: not an MP3"), std::string::npos);
}

TEST_F(ShowCheck, NamesOrderAndParameterMistakesWithTheNearestWord) {
  testing::ScratchFolder folder;
  fs::create_directories("data/music");
  fs::copy(source / "tests" / "audio" / "fixtures" / "tone440.mp3", "data/music/QX07Synthpop_FINAL.mp3");
  fs::create_directories("data/shaders");
  fs::copy(planted / "data" / "shaders" / "main.vert", "data/shaders/");
  fs::copy(planted / "data" / "shaders" / "main.frag", "data/shaders/");
  folder.write("data/meshes/tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  folder.write("data/vesperscript.txt",
               "-9 ball new sphere\n"                      // 1: before "main" exists
               "-8 main SHADER main.vert main.frag\n"
               "-8 cam new camera\n"
               "-8 SCENE append cam\n"
               "-8 cam append ball\n"
               "-8 hull new model\n"
               "-8 hull local loadobj;data/meshes/tri.obj\n"  // 7: no program yet
               "-8 cam append hull\n"
               "-8 setpoint cam 0,0,1\n"                    // 9: the name is missing
               "-8 SCENE scale 2\n"                         // 10: SCENE only appends
               "-8 cam local fov;2\n"                       // 11: a camera takes no parameters
               "-8 dust new particles\n"
               "-8 dust local type;tub\n"                   // 13: "tube"
               "-8 dust local anim;sine;wave\n"
               "-8 dust local init\n"                       // 15: no ';'
               "-8 dust local inti;ball\n"                  // 16: "init"
               "-8 cam append dust\n"
               "2 Cam setpoint 0,0,1\n"                     // 18: "cam"
               "3 cam rotatepoint 0,0,0\n"                  // 19: no duration
               "4 END\n"                                    // 20: no name
               "5 show END\n"
               "5 cam setpoint 0,0,2\n");                   // 22: same frame, after END
  const std::vector<Finding> findings = checkShow();
  const std::string script = "data/vesperscript.txt:";
  EXPECT_EQ(places(findings), (std::vector<std::string>{script + "1", script + "7", script + "9", script + "10",
                                                        script + "11", script + "13", script + "15", script + "16",
                                                        script + "18", script + "19", script + "20", script + "22"}))
      << all(findings);
  const std::string text = all(findings);
  for (const char* words : {"no \"main\" is defined", "before it has a program", "the name is missing",
                            "SCENE takes only append", "a camera takes no local parameters", "did you mean \"tube\"?",
                            "did you mean \"init\"?", "did you mean \"cam\"?", "x, y, z and a duration",
                            "(in the same frame)"}) {
    EXPECT_NE(text.find(words), std::string::npos) << words << " not in:\n" << text;
  }
}

TEST_F(ShowCheck, ShowcaseAndSoakShowCheckClean) {
  EXPECT_EQ(all(checkIn(showcase)), "");

  // The soak show as its script assembles it: its own files, a picture, the font and a tone.
  testing::ScratchFolder folder;
  fs::copy(source / "tests" / "app" / "soak" / "data", "data", fs::copy_options::recursive);
  fs::create_directories("data/textures");
  fs::create_directories("data/music");
  fs::copy(source / "tests" / "app" / "show" / "data" / "textures" / "swatch.png", "data/textures/");
  fs::copy(showcase / "data" / "textures" / "profont.png", "data/textures/");
  fs::copy(source / "tests" / "audio" / "fixtures" / "tone440.mp3", "data/music/QX07Synthpop_FINAL.mp3");
  EXPECT_EQ(all(checkShow()), "");
}

TEST_F(ShowCheck, NamesEachLineOfTheBeatFileThePlayerSkips) {
  testing::ScratchFolder folder;
  fs::copy(source / "tests" / "app" / "soak" / "data", "data", fs::copy_options::recursive);
  fs::create_directories("data/textures");
  fs::create_directories("data/music");
  fs::copy(source / "tests" / "app" / "show" / "data" / "textures" / "swatch.png", "data/textures/");
  fs::copy(showcase / "data" / "textures" / "profont.png", "data/textures/");
  fs::copy(source / "tests" / "audio" / "fixtures" / "tone440.mp3", "data/music/QX07Synthpop_FINAL.mp3");
  folder.write("data/music/beats.txt", "# beats per bar: 3\n0.5\n1.0  # one\n");
  EXPECT_EQ(all(checkShow()), "") << "a beat file without mistakes";

  folder.write("data/music/beats.txt", "# beats per bar: many\n0.5\n1,0\n0.25\n\n1.5 2.0\n2.0\n");
  EXPECT_EQ(all(checkShow()),
            "data/music/beats.txt:1: beats per bar takes a whole number from 1 to 16: the player skips this line\n"
            "data/music/beats.txt:3: a decimal comma: times are written with a point (1.5): the player skips this line\n"
            "data/music/beats.txt:4: not after the beat before it (0.5000 s, line 2): the player skips this line\n"
            "data/music/beats.txt:6: not a time in seconds: the player skips this line\n");

  folder.write("data/music/beats.txt", "one\n");
  EXPECT_EQ(places(checkShow()), (std::vector<std::string>{"data/music/beats.txt:0", "data/music/beats.txt:1"}));
}

TEST(ShowCheckProgram, ExitsOneOnMistakesZeroWhenCleanTwoWhenItCannotCheck) {
  const fs::path program = fs::path(GLOWMARCH_BINARY_DIR) / "bin" / "glowmarch";
  const auto run = [&](const fs::path& folder) {
    const std::string command = "'" + program.string() + "' --check '" + folder.string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run(planted), 1);
  EXPECT_EQ(run(showcase), 0);
  EXPECT_EQ(run(source / "no such show"), 2);
}

// A show whose music folder holds no MP3 yet (a new show's, with only its note on where the MP3 goes):
// a note naming the file the player opens, which does not fail the check.
TEST(ShowCheckProgram, AMusicFolderWithoutAnMp3GetsANoteNamingTheFileAndPasses) {
  const fs::path program = fs::path(GLOWMARCH_BINARY_DIR) / "bin" / "glowmarch";
  testing::ScratchFolder folder;
  folder.write("data/vesperscript.txt", "");
  folder.write("data/music/README.txt", "the MP3 goes here\n");
  const std::string command = "'" + program.string() + "' --check >check.out 2>check.err";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
  std::ifstream out("check.out");
  const std::string printed((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  EXPECT_EQ(printed.rfind("data/music/QX07Synthpop_FINAL.mp3: note: no music yet, so the show runs on the wall clock", 0),
            0u)
      << printed;
  std::ifstream err("check.err");
  const std::string said((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(said, "glowmarch --check: no problems found\n");
}

}  // namespace
}  // namespace glowmarch
