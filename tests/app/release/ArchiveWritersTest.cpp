// The release's archive writers, read back by independent readers: the system's tar and Python's
// zipfile. Names with a leading dash, quotes, spaces and non-ASCII letters, a name too long for
// ustar's fields, empty files and folders, packed and plain data across the writers' read pieces.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/release/Archive.h"
#include "app/release/TarGzWriter.h"
#include "resources/Utf8Path.h"
#include "app/release/ZipWriter.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

const std::string top = "-Nu\xc3\xa9" "e \"demo\"-linux-x86_64";
// 120 bytes in one name: only a pax record holds it.
const std::string longName = "data/" + std::string(40, 'x') + "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9" +
                             std::string(70, 'y') + ".png";
// 170 bytes in all, each part short: ustar's prefix and name fields hold it.
const std::string deepName = "data/" + std::string(60, 'a') + "/" + std::string(60, 'b') + "/" +
                             std::string(40, 'c') + ".obj";

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 engine(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(engine() & 0xff);
  return bytes;
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Contents {
  std::vector<std::pair<std::string, std::string>> files;  // name under the top folder, bytes
};

Contents sample() {
  std::string text;
  while (text.size() < 1024 * 1024) text += "-10 main SHADER main.vert main.frag\n";
  text.resize(1024 * 1024);  // exactly one of the writers' read pieces
  return {{
      {top.substr(0, top.size() - 13), randomBytes(20000, 1)},  // the player
      {"README.txt", "Start: ./show\r\n"},
      {"data/music/song.mp3", randomBytes(1536 * 1024, 2)},  // packed: stored
      {"data/vesperscript.txt", text},                       // plain: deflated
      {"data/empty.txt", ""},
      {longName, randomBytes(3000, 3)},
      {deepName, "v 0 0 0\n"},
      {"lib/libfoo.so.1", text.substr(0, 300000) + randomBytes(1000, 4)},
  }};
}

class ArchiveWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = scratch.path() / pathFromUtf8(top);
    for (const auto& [name, bytes] : contents.files) scratch.write(utf8(pathFromUtf8(top) / pathFromUtf8(name)), bytes);
    fs::create_directories(folder / "data" / "empty folder");
    std::error_code error;
    entries = folderEntries(folder, top, error);
    ASSERT_FALSE(error) << error.message();
    for (ArchiveEntry& entry : entries) entry.executable = entry.name == top + "/" + contents.files[0].first;
    fs::create_directory(scratch.path() / "unpacked");
  }

  // Every file and folder is back with the same bytes; only the player is a program.
  void expectUnpacked(bool modes) {
    const fs::path root = scratch.path() / "unpacked" / pathFromUtf8(top);
    ASSERT_TRUE(fs::is_directory(root)) << "no folder " << top;
    for (const auto& [name, bytes] : contents.files) {
      const fs::path file = root / pathFromUtf8(name);
      ASSERT_TRUE(fs::is_regular_file(file)) << name;
      EXPECT_TRUE(readAll(file) == bytes) << name << " differs";
      if (modes) {
        const bool program = name == contents.files[0].first;
        EXPECT_EQ((fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none, program) << name;
      }
    }
    EXPECT_TRUE(fs::is_directory(root / "data" / "empty folder"));
    std::size_t unpacked = 0;
    for (auto it = fs::recursive_directory_iterator(scratch.path() / "unpacked"); it != fs::recursive_directory_iterator();
         ++it) {
      ++unpacked;
    }
    EXPECT_EQ(unpacked, entries.size()) << "entries were added or lost";
  }

  testing::ScratchFolder scratch;
  Contents contents = sample();
  fs::path folder;
  std::vector<ArchiveEntry> entries;
};

TEST_F(ArchiveWriters, TarGzUnpacksWithTheSystemsTarToTheSameNamesBytesAndModes) {
  std::string error;
  ASSERT_TRUE(writeTarGz(scratch.path() / "release.tar.gz", entries, 1700000000, error)) << error;
  ASSERT_EQ(std::system("gzip -t release.tar.gz && tar -C unpacked -xzf release.tar.gz"), 0);
  expectUnpacked(true);
}

TEST_F(ArchiveWriters, ZipUnpacksWithPythonsZipfileWithTheUtf8FlagOnEveryEntry) {
  std::string error;
  ASSERT_TRUE(writeZip(scratch.path() / "release.zip", entries, 1700000000, error)) << error;
  // Python checks each entry's CRC as it extracts; it says which entries are stored and which deflated.
  const std::string script =
      "import zipfile, sys\n"
      "with zipfile.ZipFile('release.zip') as z:\n"
      "    bad = [i.filename for i in z.infolist() if not i.flag_bits & 0x800]\n"
      "    if bad: sys.exit('no UTF-8 flag: %r' % bad)\n"
      "    if z.testzip() is not None: sys.exit('bad CRC')\n"
      "    z.extractall('unpacked')\n"
      "    out = open('methods.txt', 'w')\n"
      "    for i in z.infolist(): out.write('%s %d %o\\n' % (i.filename, i.compress_type, i.external_attr >> 16))\n";
  scratch.write("read.py", script);
  ASSERT_EQ(std::system("python3 read.py"), 0);
  // zipfile keeps no modes: the modes are read from the archive instead.
  expectUnpacked(false);
  const std::string methods = readAll(scratch.path() / "methods.txt");
  EXPECT_NE(methods.find(top + "/data/music/song.mp3 0 100644"), std::string::npos) << methods;
  EXPECT_NE(methods.find(top + "/data/vesperscript.txt 8 100644"), std::string::npos) << methods;
  EXPECT_NE(methods.find(top + "/" + contents.files[0].first + " 0 100755"), std::string::npos) << methods;
  EXPECT_NE(methods.find(top + "/data/empty folder/ 0 40755"), std::string::npos) << methods;
  // The plain script shrank.
  EXPECT_LT(fs::file_size(scratch.path() / "release.zip"), 3u * 1024 * 1024);
}

TEST_F(ArchiveWriters, AFileThatCannotBeReadOrWrittenIsAnErrorNotAShortArchive) {
  std::vector<ArchiveEntry> broken = entries;
  broken.push_back({top + "/data/gone.png", scratch.path() / "gone.png", false});
  std::string error;
  EXPECT_FALSE(writeTarGz(scratch.path() / "a.tar.gz", broken, 0, error));
  EXPECT_NE(error.find("gone.png"), std::string::npos) << error;
  EXPECT_FALSE(writeZip(scratch.path() / "a.zip", broken, 0, error));
  EXPECT_NE(error.find("gone.png"), std::string::npos) << error;
  EXPECT_FALSE(writeZip(scratch.path() / "no-such-folder" / "a.zip", entries, 0, error));
  EXPECT_FALSE(writeTarGz(scratch.path() / "no-such-folder" / "a.tar.gz", entries, 0, error));
}

}  // namespace
}  // namespace glowmarch
