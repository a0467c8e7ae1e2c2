// What a capture leaves on disk: the WAV header byte for byte, the music and its silent tail, PNG
// frames stored top row first, and the output folder checked before anything is drawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/capture/CaptureFiles.h"
#include "resources/PngDecoder.h"
#include "tests/support/TestShow.h"

namespace glowmarch {
namespace {

using testing::ScratchFolder;

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CaptureWav, TheHeaderIsTheCanonicalPcmHeaderOf44100HzSixteenBitStereo) {
  const std::vector<std::uint8_t> expected = {
      'R', 'I', 'F', 'F', 0x2C, 0x00, 0x00, 0x00,              // 36 + 8 data bytes
      'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',                  //
      16, 0, 0, 0,                                             // format block size
      1, 0,                                                    // PCM
      2, 0,                                                    // channels
      0x44, 0xAC, 0x00, 0x00,                                  // 44100 Hz
      0x10, 0xB1, 0x02, 0x00,                                  // 176400 bytes per second
      4, 0,                                                    // bytes per frame
      16, 0,                                                   // bits per sample
      'd', 'a', 't', 'a', 0x08, 0x00, 0x00, 0x00,              // two frames
  };
  EXPECT_EQ(wavHeader(2), expected);
  EXPECT_EQ(wavHeader(0).size(), wavHeaderSize);

  // Two hours of music, the most a show holds, fit; sizes past 32 bits are refused, not wrapped.
  const std::uint64_t twoHours = 2ull * 3600 * 44100;
  const std::vector<std::uint8_t> big = wavHeader(twoHours);
  ASSERT_EQ(big.size(), wavHeaderSize);
  const std::uint32_t data = big[40] | big[41] << 8 | big[42] << 16 | static_cast<std::uint32_t>(big[43]) << 24;
  EXPECT_EQ(data, twoHours * 4);
  const std::uint64_t largest = (0xFFFFFFFFull - 36) / 4;
  EXPECT_EQ(wavHeader(largest).size(), wavHeaderSize);
  EXPECT_TRUE(wavHeader(largest + 1).empty());
  EXPECT_TRUE(wavHeader(~0ull / 2).empty()) << "a count whose byte size overflows 64 bits";
}

TEST(CaptureWav, TheFileHoldsTheSamplesLittleEndianThenTheSilenceAndRefusesAnUnwritablePath) {
  ScratchFolder folder;
  const std::vector<std::int16_t> samples = {1, -1, 0x1234, -32768};
  std::string error;
  ASSERT_TRUE(writeWav("music.wav", samples.data(), 2, 3, error)) << error;
  const std::vector<std::uint8_t> bytes = readBytes("music.wav");
  ASSERT_EQ(bytes.size(), wavHeaderSize + 5 * 4);
  const std::vector<std::uint8_t> header = wavHeader(5);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
  const std::vector<std::uint8_t> body(bytes.begin() + wavHeaderSize, bytes.end());
  const std::vector<std::uint8_t> expected = {0x01, 0x00, 0xFF, 0xFF, 0x34, 0x12, 0x00, 0x80, 0, 0, 0, 0,
                                              0,    0,    0,    0,    0,    0,    0,    0};
  EXPECT_EQ(body, expected);

  // No music at all: silence only.
  ASSERT_TRUE(writeWav("quiet.wav", nullptr, 0, 100000, error)) << error;
  EXPECT_EQ(readBytes("quiet.wav").size(), wavHeaderSize + 400000);

  EXPECT_FALSE(writeWav("missing/music.wav", samples.data(), 2, 0, error));
  EXPECT_NE(error.find("cannot write missing/music.wav"), std::string::npos) << error;
}

TEST(CapturePng, RowsReadBackBottomUpAreStoredTopRowFirstWithoutAlpha) {
  // Three rows of two pixels as glReadPixels gives them: the bottom row first.
  const std::vector<std::uint8_t> bottomUp = {
      10, 11, 12, 0,   13, 14, 15, 255,  // bottom
      20, 21, 22, 128, 23, 24, 25, 255,  // middle
      30, 31, 32, 7,   33, 34, 35, 1,    // top
  };
  const std::vector<const std::uint8_t*> rows = topDownRows(bottomUp.data(), 2, 3, 4);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], bottomUp.data() + 16);
  EXPECT_EQ(rows[1], bottomUp.data() + 8);
  EXPECT_EQ(rows[2], bottomUp.data());
  EXPECT_TRUE(topDownRows(bottomUp.data(), 2, 0, 4).empty());

  ScratchFolder folder;
  std::string error;
  ASSERT_TRUE(writeFramePng("frame.png", bottomUp.data(), 2, 3, error)) << error;
  const std::vector<std::uint8_t> file = readBytes("frame.png");
  ASSERT_GT(file.size(), 25u);
  EXPECT_EQ(file[25], 2) << "colour type RGB: a video frame has no transparency";
  DecodedImage image;
  ASSERT_EQ(decodePng(file.data(), file.size(), image), PngError::none);
  EXPECT_EQ(image.width, 2u);
  EXPECT_EQ(image.height, 3u);
  const std::vector<std::uint8_t> topDown = {
      30, 31, 32, 255, 33, 34, 35, 255,  //
      20, 21, 22, 255, 23, 24, 25, 255,  //
      10, 11, 12, 255, 13, 14, 15, 255,  //
  };
  EXPECT_EQ(image.pixels, topDown);

  EXPECT_FALSE(writeFramePng("no/such/folder/frame.png", bottomUp.data(), 2, 3, error));
  EXPECT_NE(error.find("cannot write no/such/folder/frame.png"), std::string::npos) << error;
}

TEST(CaptureFolder, IsMadeWithItsParentsAndRefusedWhenItIsAFileLiesUnderAFileOrHoldsFrames) {
  ScratchFolder folder;
  std::string error;
  EXPECT_TRUE(prepareCaptureFolder("a/b/c", ".unfinished", error)) << error;
  EXPECT_TRUE(std::filesystem::is_directory("a/b/c"));
  EXPECT_TRUE(prepareCaptureFolder("a/b/c", ".unfinished", error)) << "an existing empty folder: " << error;

  folder.write("plain", "x");
  EXPECT_FALSE(prepareCaptureFolder("plain", ".unfinished", error));
  EXPECT_NE(error.find("cannot make the folder plain"), std::string::npos) << error;
  EXPECT_FALSE(prepareCaptureFolder("plain/sub", ".unfinished", error));
  EXPECT_NE(error.find("cannot make the folder plain/sub"), std::string::npos) << error;

  // A folder with other files is fine; frames of an earlier capture are not overwritten or mixed in.
  folder.write("out/notes.txt", "x");
  folder.write("out/frame12.png", "x");
  folder.write("out/frame000000.png.part", "x");
  EXPECT_TRUE(prepareCaptureFolder("out", ".unfinished", error)) << error;
  folder.write("out/frame000017.png", "x");
  EXPECT_FALSE(prepareCaptureFolder("out", ".unfinished", error));
  EXPECT_NE(error.find("out already holds frames (frame000017.png)"), std::string::npos) << error;
  EXPECT_EQ(readBytes("out/frame000017.png").size(), 1u) << "the old frame is left alone";
  // Unless they are marked as those of a capture that never completed: they make way.
  folder.write("out/.unfinished", "");
  EXPECT_TRUE(prepareCaptureFolder("out", ".unfinished", error)) << error;
  EXPECT_FALSE(std::filesystem::exists("out/frame000017.png"));
  EXPECT_FALSE(std::filesystem::exists("out/frame000000.png.part"));
  EXPECT_TRUE(std::filesystem::exists("out/notes.txt"));

  // Writability is tried where the music will go.
  std::filesystem::create_directories("blocked/music.wav");
  EXPECT_FALSE(prepareCaptureFolder("blocked", ".unfinished", error));
  EXPECT_NE(error.find("cannot write blocked/music.wav"), std::string::npos) << error;
}

}  // namespace
}  // namespace glowmarch
