#include "app/platform/FileWatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "resources/Utf8Path.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, left as the working folder while the test runs.
class WatchedFolder : public testing::Test {
 protected:
  void SetUp() override {
    before = fs::current_path();
    folder = fs::temp_directory_path() / ("glowmarch-watch-" + std::to_string(std::random_device()()));
    fs::create_directories(folder);
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(before);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // Polls until every path of `expected` has come or 10 s have passed; what came, settled.
  static std::set<std::string> await(FileWatcher& watcher, const std::set<std::string>& expected) {
    std::set<std::string> came;
    const auto until = WatchClock::now() + std::chrono::seconds(10);
    while (WatchClock::now() < until) {
      watcher.poll(WatchClock::now());
      const std::set<std::string> settled = watcher.changes().takeSettled(WatchClock::now() + std::chrono::hours(1));
      came.insert(settled.begin(), settled.end());
      if (std::includes(came.begin(), came.end(), expected.begin(), expected.end())) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Anything still on its way.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    watcher.poll(WatchClock::now());
    const std::set<std::string> late = watcher.changes().takeSettled(WatchClock::now() + std::chrono::hours(1));
    came.insert(late.begin(), late.end());
    return came;
  }

  fs::path before;
  fs::path folder;
};

// Folders below the watched one, old and new, names outside ASCII, an editor's temporary file
// renamed over the file it saves: each saved file comes once, under the name it is saved as, and
// no temporary comes at all.
TEST_F(WatchedFolder, SavedFilesComeByTheirNamesFromOldAndNewFoldersAndTemporariesNever) {
  const std::string shaders = "data/shaders";
  const std::string pictures = "data/\xd0\xba\xd0\xb0\xd1\x80\xd1\x82\xd0\xb8\xd0\xbd\xd0\xba\xd0\xb8";  // картинки
  fs::create_directories(pathFromUtf8(shaders));
  fs::create_directories(pathFromUtf8(pictures));
  FileWatcher watcher("data");
  ASSERT_TRUE(watcher.watching());

  std::ofstream(pathFromUtf8(shaders + "/.main.frag.swp")) << "vim's swap";
  std::ofstream(pathFromUtf8(shaders + "/.main.frag.new")) << "void main() {}";
  fs::rename(pathFromUtf8(shaders + "/.main.frag.new"), pathFromUtf8(shaders + "/main.frag"));
  const std::string picture = pictures + "/\xe6\x98\x9f.png";  // 星.png
  std::ofstream(pathFromUtf8(picture)) << "not yet a PNG";
  fs::create_directories(pathFromUtf8("data/meshes"));
  std::ofstream(pathFromUtf8("data/meshes/box.obj")) << "v 0 0 0\n";
  const std::set<std::string> expected = {"data/shaders/main.frag", picture, "data/meshes/box.obj"};
  EXPECT_EQ(await(watcher, expected), expected);

  // A file written in a folder made after the watch started, after that folder was seen.
  std::ofstream(pathFromUtf8("data/meshes/ring.obj")) << "v 1 0 0\n";
  EXPECT_EQ(await(watcher, {"data/meshes/ring.obj"}), std::set<std::string>{"data/meshes/ring.obj"});
}

TEST_F(WatchedFolder, AFolderMadeAfterTheStartIsWatchedFromWhenItAppears) {
  FileWatcher watcher("data");
  ASSERT_TRUE(watcher.watching());
  fs::create_directories(pathFromUtf8("data"));
  EXPECT_EQ(await(watcher, {"data"}), std::set<std::string>{"data"});
  std::ofstream(pathFromUtf8("data/vesperscript.txt")) << "-1 cam new camera\n";
  EXPECT_EQ(await(watcher, {"data/vesperscript.txt"}), std::set<std::string>{"data/vesperscript.txt"});
}

TEST(ChangeBatch, ChangesAreHandedOutOnceSettledAndTemporaryNamesAreKnown) {
  ChangeBatch changes;
  const auto start = WatchClock::now();
  changes.add("data/a.frag", start);
  changes.add("data/b.obj", start + std::chrono::milliseconds(50));
  EXPECT_TRUE(changes.takeSettled(start + std::chrono::milliseconds(100)).empty()) << "still being written";
  EXPECT_EQ(changes.firstChange(), start);
  EXPECT_EQ(changes.takeSettled(start + std::chrono::milliseconds(150)),
            (std::set<std::string>{"data/a.frag", "data/b.obj"}));
  EXPECT_FALSE(changes.pending());

  EXPECT_TRUE(isEditorTemporary("vesperscript.txt~"));
  EXPECT_TRUE(isEditorTemporary("4913"));
  EXPECT_TRUE(isEditorTemporary("#main.frag#"));
  EXPECT_FALSE(isEditorTemporary("nebula.png"));
}

}  // namespace
}  // namespace glowmarch
