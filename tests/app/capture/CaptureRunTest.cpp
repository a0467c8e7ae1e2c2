// The capture program as a person runs it, in a show's folder: what it writes, that two runs write
// the same, that a late start is the show played from the start, that the script's END leaves whole
// files, and how it refuses what it cannot do. Pictures are 320 x 180 (not the default 1920 x 1080)
// to keep the runs short.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/capture/CaptureFiles.h"
#include "app/capture/CapturePlan.h"
#include "resources/PngDecoder.h"
#include "tests/app/capture/CaptureRun.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

const fs::path showcase = testing::showcaseFolder;
const fs::path testShow = fs::path(GLOWMARCH_SOURCE_DIR) / "tests" / "app" / "show";
using testing::hashes;
using testing::ProgramRun;
using testing::readText;

// Runs the program in `folder`; `environment` goes before it on the shell's command line.
ProgramRun capture(const fs::path& folder, const std::string& arguments, const fs::path& logs,
                   const std::string& environment = "") {
  return testing::runIn(folder, environment + " " + testing::quoted(testing::captureBinary) + " " + arguments, logs);
}

DecodedImage decodeFile(const fs::path& path) {
  const std::string bytes = readText(path);
  DecodedImage image;
  const PngError error = decodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image);
  EXPECT_EQ(error, PngError::none) << path;
  return image;
}

std::uint32_t littleWord(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

class CaptureRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(testing::captureBinary)) << testing::captureBinary << " is not built";
    ASSERT_TRUE(fs::exists(showcase / "data" / "music" / "QX07Synthpop_FINAL.mp3"));
  }
  ScratchFolder scratch;
};

TEST_F(CaptureRun, FiveSecondsOfTheShowcaseAtThirtyFpsGiveTheSame150FramesAndWavOnASecondRun) {
  const std::string arguments = "--fps 30 --to 5 --size 320x180 --out ";
  const ProgramRun first = capture(showcase, arguments + "'" + (scratch.path() / "first").string() + "'", scratch.path());
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const ProgramRun second = capture(showcase, arguments + "'" + (scratch.path() / "second").string() + "'", scratch.path());
  ASSERT_EQ(second.exitCode, 0) << second.err;

  const auto firstFiles = hashes(scratch.path() / "first");
  ASSERT_EQ(firstFiles.size(), 151u);
  for (std::uint64_t n = 0; n < 150; ++n) EXPECT_EQ(firstFiles.count(frameFileName(n)), 1u) << n;
  EXPECT_EQ(firstFiles.count("music.wav"), 1u);
  EXPECT_EQ(hashes(scratch.path() / "second"), firstFiles) << "two captures of one show differ";

  // Five seconds of sound, the music's own samples.
  const std::string wav = readText(scratch.path() / "first" / "music.wav");
  ASSERT_EQ(wav.size(), wavHeaderSize + 5 * 44100 * 4);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(littleWord(wav, 40), 5u * 44100 * 4);
  EXPECT_NE(wav.find_first_not_of('\0', wavHeaderSize), std::string::npos) << "the music is not silence";

  const DecodedImage last = decodeFile(scratch.path() / "first" / frameFileName(149));
  EXPECT_EQ(last.width, 320u);
  EXPECT_EQ(last.height, 180u);
  std::uint64_t brightness = 0;
  for (std::size_t i = 0; i < last.pixels.size(); i += 4) brightness += last.pixels[i] + last.pixels[i + 1];
  EXPECT_GT(brightness, 320u * 180u * 10u) << "the title scene is drawn";

  // The show's own output, the same each time and free of progress; the progress on standard error.
  EXPECT_EQ(first.out, second.out);
  EXPECT_NE(first.out.find("-9 cam new camera -9.000000\n"), std::string::npos);
  EXPECT_NE(first.out.find("Doing: "), std::string::npos);
  EXPECT_EQ(first.out.find("frames"), std::string::npos);
  EXPECT_NE(first.err.find("150/150 frames"), std::string::npos) << first.err;
  EXPECT_NE(first.err.find("left"), std::string::npos) << first.err;

  // A late start runs the frames before it unwritten: its frames are those of the capture from 0.
  const fs::path lateFolder = scratch.path() / "late";
  const ProgramRun late = capture(showcase, "--fps 30 --from 4 --to 5 --size 320x180 --out '" + lateFolder.string() + "'",
                           scratch.path());
  ASSERT_EQ(late.exitCode, 0) << late.err;
  const auto lateFiles = hashes(lateFolder);
  ASSERT_EQ(lateFiles.size(), 31u);
  for (std::uint64_t n = 0; n < 30; ++n) {
    EXPECT_EQ(lateFiles.at(frameFileName(n)), firstFiles.at(frameFileName(n + 120))) << "frame " << n + 120;
  }
  EXPECT_EQ(late.out, first.out) << "the same script lines ran";
  EXPECT_NE(late.err.find("skipping to 4.000 s"), std::string::npos) << late.err;
  const std::string lateWav = readText(lateFolder / "music.wav");
  ASSERT_EQ(lateWav.size(), wavHeaderSize + 44100 * 4);
  EXPECT_EQ(lateWav.substr(wavHeaderSize), wav.substr(wavHeaderSize + 4 * 44100 * 4)) << "the sound starts at 4 s";
}

// The test show's quad (the swatch through the red-blue swap: 90, 40, 200) raised into the top half
// of the picture; the script ends the process at 0.5 s. No music: the show runs on the frame clock.
fs::path writeEndingShow(const fs::path& scratch) {
  const fs::path folder = scratch / "show";
  fs::create_directories(folder);
  fs::copy(testShow / "data", folder / "data", fs::copy_options::recursive);
  std::ofstream(folder / "data" / "vesperscript.txt") << "-1 swap SHADER swap.vert swap.frag\n"
                                                         "-1 pic new image\n"
                                                         "-1 pic texture swatch.png\n"
                                                         "-1 pic shader swap\n"
                                                         "-1 pic setpoint 0,0.6,-1\n"
                                                         "-1 SCENE append pic\n"
                                                         "0.5 show END\n";
  return folder;
}

TEST_F(CaptureRun, TheScriptsEndLeavesWholeFramesUprightAndAWholeWavAndExitsCleanly) {
  const fs::path show = writeEndingShow(scratch.path());
  // Announced as what will be written: frames, parts and progress stop at the END.
  const ProgramRun plan = capture(show, "--fps 30 --to 2 --size 64x36 --out frames --part 2/2 --work w --plan",
                                  scratch.path());
  EXPECT_EQ(plan.exitCode, 0) << plan.err;
  EXPECT_NE(plan.out.find("\"first\": 0, \"end\": 16,"), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("{\"part\": 2, \"first\": 8, \"end\": 16, "), std::string::npos) << plan.out;
  const ProgramRun run = capture(show, "--fps 30 --to 2 --size 64x36 --out frames", scratch.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Doing: 0.5 show END\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("the script's END ended the show at 0.533 s; 16 of 60 frames written"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("] 16/16 frames"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("/60 frames"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("16 frames at 30 fps (0.000 s to 0.533 s of music) and music.wav in frames"),
            std::string::npos)
      << run.err;

  // Frame 15 stands at 0.5 s, not past it; frame 16 runs the END before it draws.
  const auto files = hashes(show / "frames");
  ASSERT_EQ(files.size(), 17u);
  for (std::uint64_t n = 0; n < 16; ++n) {
    const DecodedImage frame = decodeFile(show / "frames" / frameFileName(n));
    ASSERT_EQ(frame.width, 64u);
    ASSERT_EQ(frame.height, 36u);
    // GL reads the bottom row first; the file holds the top row first.
    const std::uint8_t* top = &frame.pixels[(2 * 64 + 32) * 4];
    const std::uint8_t* bottom = &frame.pixels[(33 * 64 + 32) * 4];
    EXPECT_NEAR(top[0], 90, 2) << n;
    EXPECT_NEAR(top[1], 40, 2) << n;
    EXPECT_NEAR(top[2], 200, 2) << n;
    EXPECT_EQ(bottom[0] + bottom[1] + bottom[2], 0) << n;
  }

  // As long as the frames: 16 frames of silence.
  const std::string wav = readText(show / "frames" / captureWavName);
  ASSERT_EQ(wav.size(), wavHeaderSize + 16 * 44100 / 30 * 4);
  EXPECT_EQ(littleWord(wav, 4), wav.size() - 8);
  EXPECT_EQ(wav.find_first_not_of('\0', wavHeaderSize), std::string::npos);

  // An END before the first frame to write is a capture that cannot be made, nor planned.
  const ProgramRun latePlan = capture(show, "--fps 30 --from 1 --to 2 --plan", scratch.path());
  EXPECT_EQ(latePlan.exitCode, 1);
  EXPECT_EQ(latePlan.out, "");
  EXPECT_NE(latePlan.err.find("the show ends at 0.533 s, before the capture's first frame at 1.000 s"),
            std::string::npos)
      << latePlan.err;
  const ProgramRun late = capture(show, "--fps 30 --from 1 --to 2 --size 64x36 --out late", scratch.path());
  EXPECT_EQ(late.exitCode, 1);
  EXPECT_NE(late.err.find("glowmarch-capture: the show ends at 0.533 s, before the capture's first frame at 1.000 s; "
                          "nothing written\n"),
            std::string::npos)
      << late.err;
  EXPECT_TRUE(fs::is_empty(show / "late"));
  EXPECT_NE(late.out.find("Doing: 0.5 show END\n"), std::string::npos) << "played up to its END: " << late.out;

  // Without --to nothing would end a show without music.
  const ProgramRun endless = capture(show, "--fps 30 --size 64x36 --out endless", scratch.path());
  EXPECT_EQ(endless.exitCode, 1);
  EXPECT_NE(endless.err.find("no music (data/music/QX07Synthpop_FINAL.mp3) to end the capture; give --to"),
            std::string::npos)
      << endless.err;
}

TEST_F(CaptureRun, WithNoDisplayAtAllItDrawsThroughTheOffscreenDriver) {
  const fs::path out = scratch.path() / "headless";
  const ProgramRun run = capture(showcase, "--fps 30 --to 1 --size 320x180 --out '" + out.string() + "'", scratch.path(),
                          "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER");
  if (run.exitCode == 1 && run.err.find("cannot draw offscreen") != std::string::npos) {
    GTEST_SKIP() << "no EGL here: " << run.err;
  }
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto files = hashes(out);
  EXPECT_EQ(files.size(), 31u);
  const DecodedImage last = decodeFile(out / frameFileName(29));
  EXPECT_EQ(last.width, 320u);
  EXPECT_EQ(last.height, 180u);
  bool drawn = false;
  for (std::size_t i = 0; i < last.pixels.size() && !drawn; i += 4) drawn = last.pixels[i] + last.pixels[i + 2] > 60;
  EXPECT_TRUE(drawn) << "the fade-in has begun at 1 s";
}

TEST_F(CaptureRun, InterruptedMidwayItLeavesNoPartFileAndARerunIntoTheSameFolderIsAccepted) {
  const fs::path out = scratch.path() / "frames";
  const std::string command = testing::quoted(testing::captureBinary) + " --fps 30 --to 60 --size 320x180 --out " +
                              testing::quoted(out);
  // Interrupted once frames are being written.
  const ProgramRun run = testing::runIn(
      showcase, "{ (exec " + command + ") & pid=$!; until [ -e " + testing::quoted(out / frameFileName(20)) +
                    " ] || ! kill -0 $pid 2>/dev/null; do sleep 0.05; done; kill -TERM $pid; wait $pid; "
                    "echo \"status $?\" >&2; }",
      scratch.path());
  EXPECT_NE(run.err.find("status 143"), std::string::npos) << "ended by the signal: " << run.err;
  for (const auto& entry : fs::directory_iterator(out)) {
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
  }
  const ProgramRun again = capture(showcase, "--fps 30 --to 1 --size 320x180 --out " + testing::quoted(out),
                                   scratch.path());
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(hashes(out).size(), 31u) << "the unfinished capture's frames made way for the new one's";
}

TEST_F(CaptureRun, BadCommandLinesAndUnusableFoldersAreRefusedWithAReasonAndNoShow) {
  const ProgramRun bad = capture(showcase, "--fps fast", scratch.path());
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.err,
            "glowmarch-capture: --fps takes a whole number of frames per second from 1 to 1000, not \"fast\"\n"
            "Try 'glowmarch-capture --help'.\n");
  EXPECT_EQ(bad.out, "") << "the show did not start";

  const ProgramRun help = capture(showcase, "--help", scratch.path());
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: glowmarch-capture [options]\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");

  std::ofstream(scratch.path() / "file") << "x";
  const ProgramRun underFile = capture(showcase, "--out '" + (scratch.path() / "file" / "frames").string() + "'",
                                scratch.path());
  EXPECT_EQ(underFile.exitCode, 1);
  EXPECT_EQ(underFile.err.rfind("glowmarch-capture: cannot make the folder ", 0), 0u) << underFile.err;
  EXPECT_EQ(underFile.out, "");

  const ProgramRun pastTheEnd =
      capture(showcase, "--from 100 --size 32x18 --out '" + (scratch.path() / "past").string() + "'", scratch.path());
  EXPECT_EQ(pastTheEnd.exitCode, 1);
  EXPECT_NE(pastTheEnd.err.find("nothing to capture"), std::string::npos) << pastTheEnd.err;
  EXPECT_FALSE(fs::exists(scratch.path() / "past" / frameFileName(0)));
}

}  // namespace
}  // namespace glowmarch