// The capture's video as a person makes one: ffprobe's view of the file, and an encoder that fails,
// is killed or is missing, which must fail the capture with its reason and leave no file behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app/capture/CaptureRun.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;
using testing::captureBinary;
using testing::ProgramRun;
using testing::quoted;
using testing::readText;
using testing::runIn;
using testing::ScratchFolder;
using testing::showcaseFolder;

std::string probe(const fs::path& video, const std::string& stream, const std::string& fields, const fs::path& logs) {
  const ProgramRun run = runIn(logs, "ffprobe -v error -count_frames -select_streams " + stream +
                                         " -show_entries stream=" + fields + " -of csv=p=0 " + quoted(video), logs);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.out;
}

TEST(CaptureVideo, TwoSecondsOfTheShowcaseGiveH264At640x360With60FramesAndTwoSecondsOfSound) {
  ScratchFolder scratch;
  const fs::path video = scratch.path() / "two seconds.mp4";
  const ProgramRun run = runIn(showcaseFolder, quoted(captureBinary) + " --fps 30 --to 2 --size 640x360 --video " +
                                                   quoted(video), scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("60 frames at 30 fps (0.000 s to 2.000 s of music) in " + video.string()), std::string::npos)
      << run.err;
  EXPECT_EQ(probe(video, "v:0", "codec_name,pix_fmt,width,height,nb_read_frames", scratch.path()),
            "h264,640,360,yuv420p,60\n");
  const std::string sound = probe(video, "a:0", "codec_name,duration", scratch.path());
  ASSERT_EQ(sound.rfind("aac,", 0), 0u) << sound;
  // AAC works in blocks of 1024 samples: the length is right to within one of them.
  EXPECT_NEAR(std::stod(sound.substr(4)), 2.0, 1024.0 / 44100.0) << sound;
  // Only the video: its sound and the names it was made under are gone.
  EXPECT_EQ(testing::hashes(scratch.path()).count("two seconds.mp4"), 1u);
  for (const auto& entry : fs::directory_iterator(scratch.path())) {
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    EXPECT_NE(entry.path().extension(), ".wav") << entry.path();
  }
}

// An ffmpeg that reads a little of its input, then says why it gives up and exits or is killed.
fs::path writeFakeEncoder(const fs::path& folder, const std::string& ending) {
  fs::create_directories(folder);
  const fs::path program = folder / "ffmpeg";
  std::ofstream(program) << "#!/bin/sh\n"
                            "echo $$ >" + quoted(folder / "pid") + "\n"
                            "head -c 100000 >/dev/null\n" + ending + "\n";
  fs::permissions(program, fs::perms::owner_all);
  return folder;
}

TEST(CaptureVideo, AnEncoderThatFailsIsKilledOrIsMissingFailsTheCaptureWithItsReasonAndLeavesNothing) {
  ScratchFolder scratch;
  const std::string capture = quoted(captureBinary) + " --fps 30 --to 1 --size 64x36 --video " +
                              quoted(scratch.path() / "out" / "show.mp4");
  const auto leftovers = [&] {
    return fs::exists(scratch.path() / "out") ? testing::hashes(scratch.path() / "out").size() : 0u;
  };

  const fs::path failing = writeFakeEncoder(scratch.path() / "failing",
                                            "echo 'show.mp4: No space left on device' >&2\n"
                                            "echo 'Conversion failed!' >&2\nexit 1");
  ProgramRun run = runIn(showcaseFolder, "PATH=" + quoted(failing) + ":\"$PATH\" " + capture, scratch.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("glowmarch-capture: ffmpeg failed with exit status 1: show.mp4: No space left on device\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(leftovers(), 0u) << "no video, no sound, no temporary file";
  EXPECT_NE(kill(std::stoi(readText(failing / "pid")), 0), 0) << "the encoder is gone";

  const fs::path killed = writeFakeEncoder(scratch.path() / "killed", "kill -9 $$");
  run = runIn(showcaseFolder, "PATH=" + quoted(killed) + ":\"$PATH\" " + capture, scratch.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("glowmarch-capture: ffmpeg was killed by signal 9"), std::string::npos) << run.err;
  EXPECT_EQ(leftovers(), 0u);

  // The script's END while the encoder fails: the writers are finished, the failure told, nothing left.
  const fs::path show = scratch.path() / "show";
  fs::create_directories(show / "data");
  std::ofstream(show / "data" / "vesperscript.txt") << "0.2 show END\n";
  run = runIn(show, "PATH=" + quoted(failing) + ":\"$PATH\" " + capture, scratch.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("glowmarch-capture: ffmpeg failed with exit status 1"), std::string::npos) << run.err;
  EXPECT_EQ(leftovers(), 0u);

  run = runIn(showcaseFolder, "PATH=" + quoted(scratch.path() / "nowhere") + " " + capture, scratch.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("glowmarch-capture: ffmpeg is not installed"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "") << "refused before the show starts";
  EXPECT_EQ(leftovers(), 0u);

  // yuv420p keeps one colour sample per 2 x 2 pixels: an odd size is refused before anything runs.
  run = runIn(showcaseFolder, quoted(captureBinary) + " --size 641x360 --video show.mp4", scratch.path());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err.rfind("glowmarch-capture: a video in yuv420p needs an even width and height, not 641x360\n", 0),
            0u)
      << run.err;
}

}  // namespace
}  // namespace glowmarch
