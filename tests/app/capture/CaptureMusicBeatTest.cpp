// A capture of a shader that paints fract(musicbeat): every frame's red is the beat position the show's
// beat file gives at that frame's time, before its first beat, between its beats and after its last.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/capture/CapturePlan.h"
#include "resources/PngDecoder.h"
#include "tests/app/capture/CaptureRun.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

namespace fs = std::filesystem;

TEST(CaptureMusicBeat, EachFramePaintsTheBeatPositionOfTheBeatFileAtItsTime) {
  testing::ScratchFolder scratch;
  const fs::path show = scratch.path() / "show";
  fs::create_directories(show / "data" / "music");
  fs::copy(fs::path(GLOWMARCH_SOURCE_DIR) / "tests" / "app" / "show" / "data", show / "data",
           fs::copy_options::recursive);
  fs::copy_file(testing::showcaseFolder / "data" / "music" / "QX07Synthpop_FINAL.mp3",
                show / "data" / "music" / "QX07Synthpop_FINAL.mp3");
  std::ofstream(show / "data" / "shaders" / "beat.frag") << "#version 120\n"
                                                             "uniform float musicbeat;\n"
                                                             "void main() { gl_FragColor = vec4(fract(musicbeat), 0.0, 0.0, 1.0); }\n";
  std::ofstream(show / "data" / "vesperscript.txt") << "-1 beat SHADER swap.vert beat.frag\n"
                                                        "-1 pic new image\n"
                                                        "-1 pic texture swatch.png\n"
                                                        "-1 pic shader beat\n"
                                                        "-1 pic setpoint 0,0,-1\n"
                                                        "-1 SCENE append pic\n";
  // Uneven, as a hand-edited file may be: 0.5 s, 0.3 s, 0.8 s and 0.5 s apart.
  const std::vector<double> beats = {0.3, 0.8, 1.1, 1.9, 2.4};
  std::ofstream(show / "data" / "music" / "beats.txt") << "# by hand\n0.3\n0.8\n1.1\n1.9\n2.4\n";

  const testing::ProgramRun run = testing::runIn(
      show, testing::quoted(testing::captureBinary) + " --fps 60 --to 3 --size 32x18 --out frames", scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (std::uint64_t n = 0; n < 180; ++n) {
    const std::string bytes = testing::readText(show / "frames" / frameFileName(n));
    DecodedImage frame;
    ASSERT_EQ(decodePng(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), frame), PngError::none) << n;
    const std::uint8_t red = frame.pixels[(9 * 32 + 16) * 4];
    // The beat position at n / 60 s, counted here from the file's beats.
    const double t = n / 60.0;
    std::size_t i = 0;
    while (i + 2 < beats.size() && t >= beats[i + 1]) ++i;
    const double position = static_cast<double>(i) + (t - beats[i]) / (beats[i + 1] - beats[i]);
    const double expected = 255.0 * (position - std::floor(position));
    // Around a whole beat the fraction may land just either side of it.
    const double off = std::fabs(red - expected);
    EXPECT_LE(std::min(off, 255.0 - off), 1.5) << "frame " << n << " at " << t << " s: red " << int{red}
                                               << ", beat position " << position;
  }
}

}  // namespace
}  // namespace glowmarch
