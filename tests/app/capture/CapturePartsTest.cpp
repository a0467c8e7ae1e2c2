// A capture cut into parts, by hand and by the farm: put together, the parts are the whole capture,
// file for file, for a show whose state is the sum of every frame before (burning particles, tweens,
// a spin); and a part that fails fails the farm with its reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "app/capture/CaptureFiles.h"
#include "app/capture/CapturePlan.h"
#include "tests/app/capture/CaptureRun.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;
using testing::captureBinary;
using testing::hashes;
using testing::ProgramRun;
using testing::quoted;
using testing::readText;
using testing::runIn;
using testing::ScratchFolder;

const fs::path sourceFolder = fs::path(GLOWMARCH_SOURCE_DIR);
const fs::path farm = sourceFolder / "scripts" / "capture-farm";

// The every-class soak show (a burning fountain, a sine ring turned to sinepulse, a spinning box,
// tweens of the camera running through the span) with the test show's texture.
fs::path writeShow(const fs::path& scratch) {
  const fs::path folder = scratch / "show";
  fs::create_directories(folder);
  fs::copy(sourceFolder / "tests" / "app" / "soak" / "data", folder / "data", fs::copy_options::recursive);
  fs::copy(sourceFolder / "tests" / "app" / "show" / "data" / "textures", folder / "data" / "textures",
           fs::copy_options::recursive);
  return folder;
}

const std::string span = " --fps 30 --to 1.5 --size 96x54";

TEST(CaptureParts, TwoPartsAndTheFarmGiveTheFilesOfOneWholeCapture) {
  ScratchFolder scratch;
  const fs::path show = writeShow(scratch.path());
  const std::string capture = quoted(captureBinary) + span;
  const ProgramRun whole = runIn(show, capture + " --out whole", scratch.path());
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const auto wholeFiles = hashes(show / "whole");
  ASSERT_EQ(wholeFiles.size(), 46u) << "45 frames and the music";

  // Part 1 has frames 0 to 21, part 2 frames 22 to 44, each numbered as in the whole.
  std::map<std::string, std::uint64_t> together;
  std::string sound;
  for (int part = 1; part <= 2; ++part) {
    const std::string folder = "part" + std::to_string(part);
    const ProgramRun run = runIn(show, capture + " --part " + std::to_string(part) + "/2 --out " + folder, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const auto& [name, hash] : hashes(show / folder)) {
      if (name != captureWavName) together[name] = hash;
    }
    sound += readText(show / folder / captureWavName).substr(wavHeaderSize);
  }
  EXPECT_EQ(together.count(frameFileName(21)) + together.count(frameFileName(22)), 2u);
  together[captureWavName] = wholeFiles.at(captureWavName);
  EXPECT_EQ(together, wholeFiles) << "the parts' frames are the whole capture's";
  EXPECT_EQ(sound, readText(show / "whole" / captureWavName).substr(wavHeaderSize)) << "and so is their sound";

  const ProgramRun farmed = runIn(show, quoted(farm) + " -j 2 --capture " + quoted(captureBinary) + " --" + span +
                                            " --out farmed", scratch.path());
  ASSERT_EQ(farmed.exitCode, 0) << farmed.err;
  EXPECT_EQ(hashes(show / "farmed"), wholeFiles);
  EXPECT_NE(farmed.err.find("2/2 parts done, 45/45 frames"), std::string::npos) << farmed.err;
  // The show's own output, as the whole capture printed it.
  EXPECT_EQ(farmed.out, whole.out);

  // A video from segments joined without re-encoding, with the sound joined and encoded once.
  const ProgramRun video = runIn(show, quoted(farm) + " -j 2 --capture " + quoted(captureBinary) + " --" + span +
                                           " --video farmed.mkv", scratch.path());
  ASSERT_EQ(video.exitCode, 0) << video.err;
  const ProgramRun probe = runIn(show, "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames"
                                       ":format=duration -of csv=p=0 farmed.mkv", scratch.path());
  EXPECT_EQ(probe.out.rfind("h264,45\nflac,", 0), 0u) << probe.out;
  EXPECT_NEAR(std::stod(probe.out.substr(probe.out.rfind('\n', probe.out.size() - 2) + 1)), 1.5, 0.01) << probe.out;
}

TEST(CaptureParts, BadPartsAndAFailingPartAreRefusedWithTheirReason) {
  ScratchFolder scratch;
  const fs::path show = writeShow(scratch.path());
  for (const std::string part : {"0/2", "3/2", "1/0", "2", "a/b"}) {
    const ProgramRun run = runIn(show, quoted(captureBinary) + " --part " + part, scratch.path());
    EXPECT_EQ(run.exitCode, 2) << part;
    EXPECT_EQ(run.err.rfind("glowmarch-capture: --part takes K/N, the K-th of N equal parts", 0), 0u) << run.err;
  }

  // A machine whose capture fails: the farm stops, names the part and passes its message on.
  const fs::path failing = scratch.path() / "failing-capture";
  std::ofstream(failing) << "#!/bin/sh\n"
                            "case \"$*\" in *'--part 2/2'*) echo 'the disk is full' >&2; exit 1;; esac\n"
                            "exec " + quoted(captureBinary) + " \"$@\"\n";
  fs::permissions(failing, fs::perms::owner_all);
  const ProgramRun run = runIn(show, quoted(farm) + " -j 2 --capture " + quoted(failing) + " --" + span + " --out farmed",
                               scratch.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("part 2 on this machine: the disk is full"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("capture-farm: part 2/2 failed on this machine (exit status 1)"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("the 1 finished part (1) are kept"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(show / "farmed")) << "nothing that looks finished";

  // Resumed with other options, the parts would not fit together: refused, and the finished part kept.
  const ProgramRun other = runIn(show, quoted(farm) + " --resume -j 2 --capture " + quoted(captureBinary) +
                                           " -- --fps 25 --to 1.5 --size 96x54 --out farmed", scratch.path());
  EXPECT_EQ(other.exitCode, 2);
  EXPECT_NE(other.err.find("ran other capture options (--fps 30 --to 1.5 --size 96x54 --out farmed); resume with "
                           "those, or remove it"),
            std::string::npos)
      << other.err;
  EXPECT_FALSE(fs::exists(show / "farmed"));

  // Resumed with the same options: the finished part is reused, the rest run, the whole joined.
  const ProgramRun resumed = runIn(show, quoted(farm) + " --resume -j 2 --capture " + quoted(captureBinary) + " --" +
                                             span + " --out farmed", scratch.path());
  ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_NE(resumed.err.find("reusing 1 finished part of 2: 1"), std::string::npos) << resumed.err;
  EXPECT_EQ(hashes(show / "farmed").size(), 46u);
  for (const auto& entry : fs::directory_iterator(show)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".capture-farm", 0), std::string::npos) << "work folder left";
  }

  const ProgramRun refused = runIn(show, quoted(farm) + " -j 2 --capture " + quoted(captureBinary) + " -- --fps fast",
                                   scratch.path());
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("--fps takes a whole number"), std::string::npos) << refused.err;
}

// The work folder of the farm that makes `result` in `show`.
fs::path workFolderOf(const fs::path& show) {
  for (const auto& entry : fs::directory_iterator(show)) {
    if (entry.path().filename().string().rfind(".capture-farm-", 0) == 0) return entry.path();
  }
  return {};
}

std::size_t framesIn(const fs::path& folder) {
  std::size_t count = 0;
  for (const auto& [name, hash] : hashes(folder)) count += name.rfind("frame", 0) == 0;
  return count;
}

// A disk that fills up while the parts are joined: every file past 200 KiB fails to be written, so the
// parts' sounds (132 KiB each) are written and the joined one (259 KiB) is not.
TEST(CaptureParts, AJoinThatCannotWriteSaysWhyInOneLineKeepsEveryPartAndAResumeFinishesIt) {
  ScratchFolder scratch;
  const fs::path show = writeShow(scratch.path());
  const ProgramRun whole = runIn(show, quoted(captureBinary) + span + " --out whole", scratch.path());
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const auto wholeFiles = hashes(show / "whole");

  const std::string options = " -j 2 --capture " + quoted(captureBinary) + " --" + span + " --out farmed";
  // ulimit -f counts blocks of 512 bytes in a POSIX shell.
  const ProgramRun full = runIn(show, "ulimit -f 400 && " + quoted(farm) + options, scratch.path());
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_EQ(full.err.find("Traceback"), std::string::npos) << full.err;
  const std::string lastLine = full.err.substr(full.err.rfind('\n', full.err.size() - 2) + 1);
  EXPECT_EQ(lastLine.rfind("capture-farm: could not join the parts into " + (show / "farmed").string() +
                               ": writing the joined sound ",
                           0),
            0u)
      << full.err;
  EXPECT_NE(lastLine.find("File too large; every part is kept in "), std::string::npos) << lastLine;
  EXPECT_FALSE(fs::exists(show / "farmed"));
  const fs::path work = workFolderOf(show);
  ASSERT_FALSE(work.empty());
  EXPECT_EQ(framesIn(work / "part-1"), 22u);
  EXPECT_EQ(framesIn(work / "part-2"), 23u);
  EXPECT_TRUE(fs::exists(work / "part-1" / captureWavName));
  EXPECT_TRUE(fs::exists(work / "part-2" / captureWavName));

  // Failing again at the same place changes nothing either.
  const ProgramRun again = runIn(show, "ulimit -f 400 && " + quoted(farm) + " --resume" + options, scratch.path());
  EXPECT_EQ(again.exitCode, 1) << again.err;
  EXPECT_EQ(framesIn(work / "part-1") + framesIn(work / "part-2"), 45u);

  // With room again the resume joins the parts it kept, and the result is the whole capture's.
  const ProgramRun resumed = runIn(show, quoted(farm) + " --resume" + options, scratch.path());
  ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_NE(resumed.err.find("reusing 2 finished parts of 2: 1, 2"), std::string::npos) << resumed.err;
  EXPECT_EQ(hashes(show / "farmed"), wholeFiles);
  EXPECT_TRUE(workFolderOf(show).empty()) << "work folder left";
}

// Started from csh, tcsh or fish, GNU parallel would run each part with that shell. The stand-in here
// is a "csh" that runs nothing: the farm is started from a process of that name, found on the PATH.
TEST(CaptureParts, AFarmStartedFromAnotherShellRunsItsPartsWithSh) {
  ScratchFolder scratch;
  const fs::path show = writeShow(scratch.path());
  const fs::path shells = scratch.path() / "shells";
  fs::create_directories(shells);
  std::ofstream(shells / "csh") << "#!/bin/sh\necho \"csh stand-in: asked to run $*\" >&2\nexit 1\n";
  fs::permissions(shells / "csh", fs::perms::owner_all);
  const fs::path from = scratch.path() / "from-csh";
  std::ofstream(from) << "#!/bin/bash\n"
                         "exec -a \"$STAND_IN\" /bin/sh -c '\"$@\"; exit $?' sh \"$@\"\n";
  fs::permissions(from, fs::perms::owner_all);
  const ProgramRun run =
      runIn(show, "STAND_IN=" + quoted(shells / "csh") + " PATH=" + quoted(shells) + ":\"$PATH\" " + quoted(from) + " " +
                      quoted(farm) + " -j 2 --capture " + quoted(captureBinary) + " --" + span + " --out farmed",
            scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err.find("csh stand-in"), std::string::npos) << run.err;
  EXPECT_EQ(framesIn(show / "farmed"), 45u);
}

// Names that a template or a shell would take for code: quotes, GNU parallel's {} and {= =} (Perl),
// $, `, ':' (a protocol to ffmpeg), a leading '-' and letters beyond ASCII.
TEST(CaptureParts, HostileShowAndOutputNamesAreDataThroughTheCaptureAndTheFarm) {
  ScratchFolder scratch;
  const fs::path base = scratch.path() / "it's {} {.} {=system(\"touch pwned\")=} $HOME `touch pwned` a:b \xc3\xbc";
  const fs::path show = writeShow(base);
  const std::string capture = quoted(captureBinary) + span;
  const ProgramRun whole = runIn(show, capture + " --out whole", scratch.path());
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const auto wholeFiles = hashes(show / "whole");

  const std::string frames = "-cap{} {=system(\"touch pwned\")=} $x: \xc3\xa9";
  const ProgramRun farmed = runIn(show, quoted(farm) + " -j 2 --capture " + quoted(captureBinary) + " --" + span +
                                            " --out " + testing::quoted(frames), scratch.path());
  ASSERT_EQ(farmed.exitCode, 0) << farmed.err;
  EXPECT_EQ(hashes(show / frames), wholeFiles);

  const std::string video = "v:{}{=system(\"touch pwned\")=}.mkv";
  for (const std::string& how : {capture, quoted(farm) + " -j 2 --capture " + quoted(captureBinary) + " --" + span}) {
    fs::remove(show / video);
    const ProgramRun made = runIn(show, how + " --video " + testing::quoted(video), scratch.path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const ProgramRun probe = runIn(show, "ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
                                         "-of csv=p=0 " + testing::quoted("file:" + video), scratch.path());
    EXPECT_EQ(probe.out.rfind("45\n", 0), 0u) << how << ": " << probe.out << probe.err;
  }
  for (const fs::path& folder : {show, base, scratch.path(), fs::current_path()}) {
    EXPECT_FALSE(fs::exists(folder / "pwned")) << "a name was run as code in " << folder;
  }
}

}  // namespace
}  // namespace glowmarch
