// Lines moved in time from the edit mode: only their stamps change, every other byte stays; moves are
// undone and redone, each one write of the file; a file changed on disk since it was read, a read-only
// file and a full disk refuse the move and leave the file as it was.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "app/edit/ReplaceFile.h"
#include "app/edit/Retime.h"
#include "resources/WholeFile.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

const char* const scriptFile = "data/vesperscript.txt";

std::string onDisk() {
  const std::optional<FileBytes> file = readWholeFile(scriptFile);
  EXPECT_TRUE(file.has_value());
  return file ? std::string(file->text()) : std::string();
}

int writes = 0;
bool countedWrite(const std::string& path, std::string_view bytes, std::string& error) {
  ++writes;
  return replaceFile(path, bytes, error);
}

// Line ends of three systems, comments, a "B" line, an indented line, a stamp glued to its word, a
// tab, a last line without a break, and two lines at 12.5 written two ways.
const std::string script =
    "# the title\r\n"
    "-1 cam new camera\r\n"
    "12.5 cam movepoint 0,0,-3,2\r\n"
    "B 12.5 is no line\n"
    "  12.50\tlogo setpoint 1,2,3   # the logo\n"
    "\n"
    "13cam setpoint 0,0,0\r"
    "12.5000001 cam state 1\n"
    "20 END";

TEST(Retime, MovesOnlyTheStampsOfTheLinesAtOneTimeAndKeepsEveryOtherByte) {
  ScratchFolder folder;
  folder.write(scriptFile, script);
  writes = 0;
  Retimer retimer(scriptFile, countedWrite);
  retimer.read();
  const Retimer::Result moved = retimer.moveTime(12.5, "13.199");
  EXPECT_TRUE(moved.written) << moved.message;
  EXPECT_EQ(moved.message, "lines 3, 5 to 13.199");
  EXPECT_EQ(onDisk(),
            "# the title\r\n"
            "-1 cam new camera\r\n"
            "13.199 cam movepoint 0,0,-3,2\r\n"
            "B 12.5 is no line\n"
            "  13.199\tlogo setpoint 1,2,3   # the logo\n"
            "\n"
            "13cam setpoint 0,0,0\r"
            "12.5000001 cam state 1\n"
            "20 END");
  EXPECT_EQ(writes, 1);

  // One line by its number; a stamp glued to its word keeps the word.
  retimer.read();
  EXPECT_TRUE(retimer.moveLine(7, "7.699").written);
  EXPECT_NE(onDisk().find("\n7.699cam setpoint 0,0,0\r12.5000001"), std::string::npos);
  // Start-up lines do not move with a tick, and nothing stands at 99.
  retimer.read();
  EXPECT_FALSE(retimer.moveTime(-1.0, "3").written);
  EXPECT_FALSE(retimer.moveTime(99.0, "3").written);
  EXPECT_EQ(writes, 2);

  const std::vector<StampPlace> places = stampPlaces(script);
  ASSERT_EQ(places.size(), 6u);
  EXPECT_EQ(script.substr(places[2].begin, places[2].end - places[2].begin), "12.50");
  EXPECT_EQ(places[2].fileLine, 5);
  EXPECT_EQ(places[5].fileLine, 9);
}

TEST(Retime, UndoAndRedoEachWriteTheFileOnceAndStopAtTheEndsOfTheHistory) {
  ScratchFolder folder;
  folder.write(scriptFile, script);
  writes = 0;
  Retimer retimer(scriptFile, countedWrite);
  retimer.read();
  ASSERT_TRUE(retimer.moveTime(12.5, "14").written);
  const std::string first = onDisk();
  retimer.read();  // the show reloads after each write
  ASSERT_TRUE(retimer.moveTime(14.0, "15.5").written);
  const std::string second = onDisk();
  retimer.read();
  EXPECT_EQ(writes, 2);

  EXPECT_EQ(retimer.undo().message, "undone: lines 3, 5 to 15.5");
  EXPECT_EQ(onDisk(), first);
  retimer.read();
  EXPECT_TRUE(retimer.undo().written);
  EXPECT_EQ(onDisk(), script);
  retimer.read();
  EXPECT_FALSE(retimer.undo().written);
  EXPECT_EQ(retimer.undo().message, "nothing to undo");
  EXPECT_EQ(writes, 4);

  EXPECT_TRUE(retimer.redo().written);
  EXPECT_EQ(onDisk(), first);
  retimer.read();
  EXPECT_TRUE(retimer.redo().written);
  EXPECT_EQ(onDisk(), second);
  retimer.read();
  EXPECT_FALSE(retimer.redo().written);
  EXPECT_EQ(writes, 6);

  // A new move after an undo ends what could be redone.
  ASSERT_TRUE(retimer.undo().written);
  retimer.read();
  ASSERT_TRUE(retimer.moveTime(14.0, "16").written);
  retimer.read();
  EXPECT_FALSE(retimer.canRedo());
}

TEST(Retime, AFileChangedSinceItWasReadIsNotWrittenNorIsAnUndoIntoIt) {
  ScratchFolder folder;
  folder.write(scriptFile, script);
  writes = 0;
  Retimer retimer(scriptFile, countedWrite);
  retimer.read();
  // An editor saves while the tick is dragged.
  const std::string edited = script + "\n21 cam state 2\n";
  folder.write(scriptFile, edited);
  const Retimer::Result refused = retimer.moveTime(12.5, "14");
  EXPECT_FALSE(refused.written);
  EXPECT_EQ(refused.message, "data/vesperscript.txt changed on disk since it was read: nothing moved");
  EXPECT_EQ(onDisk(), edited);
  EXPECT_EQ(writes, 0);

  // A move, then an edit elsewhere: the move can no longer be undone, and is not.
  retimer.read();
  ASSERT_TRUE(retimer.moveTime(12.5, "14").written);
  const std::string editedAgain = onDisk() + "22 cam state 3\n";
  folder.write(scriptFile, editedAgain);
  EXPECT_FALSE(retimer.undo().written);
  EXPECT_EQ(onDisk(), editedAgain);
  retimer.read();
  EXPECT_FALSE(retimer.canUndo());
  EXPECT_EQ(writes, 1);
}

TEST(Retime, AReadOnlyFileOrAFullDiskRefusesTheMoveAndLeavesTheFileWhole) {
  ScratchFolder folder;
  folder.write(scriptFile, script);
  Retimer retimer(scriptFile);
  retimer.read();
  fs::permissions(scriptFile, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const Retimer::Result readOnly = retimer.moveTime(12.5, "14");
  EXPECT_FALSE(readOnly.written);
  EXPECT_EQ(readOnly.message, "data/vesperscript.txt cannot be written (it is read-only): nothing moved");
  EXPECT_EQ(onDisk(), script);
  fs::permissions(scriptFile, fs::perms::owner_write, fs::perm_options::add);

  // A disk that takes no more than 64 bytes from this process: writes fail as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Retimer::Result full = retimer.moveTime(12.5, "14");
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(full.written);
  EXPECT_NE(full.message.find("cannot be written (the new copy could not be written whole: "), std::string::npos)
      << full.message;
  EXPECT_EQ(onDisk(), script);
  for (const auto& entry : fs::directory_iterator("data")) {
    EXPECT_FALSE(entry.is_regular_file() && entry.path().filename() != "vesperscript.txt") << entry.path();
  }
  // With room again, the same move is made, and the file keeps its permissions.
  fs::permissions(scriptFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(retimer.moveTime(12.5, "14").written);
  EXPECT_EQ(fs::status(scriptFile).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(Retime, AScriptThatIsALinkHasTheFileItNamesRewrittenAndStaysALink) {
  ScratchFolder folder;
  folder.write("elsewhere/show.txt", script);
  fs::create_directories("data");
  fs::create_symlink(fs::absolute("elsewhere/show.txt"), scriptFile);
  Retimer retimer(scriptFile);
  retimer.read();
  ASSERT_TRUE(retimer.moveTime(12.5, "14").written);
  EXPECT_TRUE(fs::is_symlink(scriptFile));
  EXPECT_EQ(onDisk().substr(0, 38), "# the title\r\n-1 cam new camera\r\n14 cam");
  EXPECT_EQ(onDisk(), std::string(readWholeFile("elsewhere/show.txt")->text()));
}

}  // namespace
}  // namespace glowmarch
