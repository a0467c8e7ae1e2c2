#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "resources/PngDecoder.h"
#include "tests/support/PngFixture.h"

namespace glowmarch {
namespace {

using testing::PngFixture;
using Bytes = std::vector<std::uint8_t>;

PngError decode(const std::string& file, DecodedImage& image) {
  return decodePng(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), image);
}

// Decodes a file that must decode, and returns its pixels.
Bytes pixelsOf(const PngFixture& fixture) {
  const std::string file = testing::encodePng(fixture);
  EXPECT_FALSE(file.empty()) << "libpng refused the fixture";
  DecodedImage image;
  EXPECT_EQ(decode(file, image), PngError::none);
  EXPECT_EQ(image.width, fixture.width);
  EXPECT_EQ(image.height, fixture.height);
  return image.pixels;
}

png_color_16 key(std::uint16_t red, std::uint16_t green, std::uint16_t blue, std::uint16_t grey = 0) {
  png_color_16 colour{};
  colour.red = red;
  colour.green = green;
  colour.blue = blue;
  colour.gray = grey;
  return colour;
}

TEST(PngDecoding, PaletteEntriesAndTheirTransparencyBecomeRgba) {
  PngFixture fixture;
  fixture.width = 3;  // 6 bits a row: the last byte is partly padding
  fixture.height = 2;
  fixture.colorType = PNG_COLOR_TYPE_PALETTE;
  fixture.bitDepth = 2;
  fixture.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
  fixture.paletteAlpha = {255, 0x80};  // entries past the list are opaque
  fixture.rows = {0b00'01'10'00, 0b11'10'01'00};
  EXPECT_EQ(pixelsOf(fixture), (Bytes{255, 0, 0, 255, 0, 255, 0, 0x80, 0, 0, 255, 255,  //
                                      10, 20, 30, 255, 0, 0, 255, 255, 0, 255, 0, 0x80}));

  fixture.paletteAlpha.clear();
  fixture.rows = {0b11'00'00'00, 0b01'01'01'00};
  EXPECT_EQ(pixelsOf(fixture), (Bytes{10, 20, 30, 255, 255, 0, 0, 255, 255, 0, 0, 255,  //
                                      0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255}));
}

TEST(PngDecoding, GreyBelowEightBitsIsScaledToTheFullRange) {
  PngFixture oneBit;
  oneBit.width = 10;
  oneBit.height = 2;
  oneBit.colorType = PNG_COLOR_TYPE_GRAY;
  oneBit.bitDepth = 1;
  oneBit.rows = {0b1010'1100, 0b0000'0000, 0b1111'1111, 0b1100'0000};
  Bytes expected;
  const int bits[] = {1, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  for (int bit : bits) {
    const std::uint8_t grey = bit ? 255 : 0;
    expected.insert(expected.end(), {grey, grey, grey, 255});
  }
  EXPECT_EQ(pixelsOf(oneBit), expected);

  PngFixture twoBit = oneBit;
  twoBit.width = 4;
  twoBit.height = 1;
  twoBit.bitDepth = 2;
  twoBit.rows = {0b00'01'10'11};
  EXPECT_EQ(pixelsOf(twoBit), (Bytes{0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 255, 255, 255, 255, 255}));

  PngFixture fourBit = twoBit;
  fourBit.width = 2;
  fourBit.bitDepth = 4;
  fourBit.rows = {0x7F};
  EXPECT_EQ(pixelsOf(fourBit), (Bytes{119, 119, 119, 255, 255, 255, 255, 255}));
}

TEST(PngDecoding, SixteenBitSamplesKeepTheirHighByte) {
  // Rounding would give 0x81 for 0x80FF, and a linear-light conversion something else again.
  PngFixture rgb;
  rgb.width = 2;
  rgb.colorType = PNG_COLOR_TYPE_RGB;
  rgb.bitDepth = 16;
  rgb.rows = {0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x12, 0x34, 0xFF, 0x00, 0x00, 0xFF};
  EXPECT_EQ(pixelsOf(rgb), (Bytes{0x80, 0x80, 0x80, 255, 0x12, 0xFF, 0x00, 255}));

  PngFixture rgba = rgb;
  rgba.width = 1;
  rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba.rows = {0x80, 0xFF, 0x01, 0x02, 0xFE, 0xFF, 0x7F, 0xFF};
  EXPECT_EQ(pixelsOf(rgba), (Bytes{0x80, 0x01, 0xFE, 0x7F}));
}

TEST(PngDecoding, GreyWithAlphaSpreadsTheGreyOverRedGreenAndBlue) {
  PngFixture eightBit;
  eightBit.width = 2;
  eightBit.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  eightBit.rows = {0x40, 0x80, 0xFF, 0x00};
  EXPECT_EQ(pixelsOf(eightBit), (Bytes{0x40, 0x40, 0x40, 0x80, 0xFF, 0xFF, 0xFF, 0x00}));

  PngFixture sixteenBit = eightBit;
  sixteenBit.width = 1;
  sixteenBit.bitDepth = 16;
  sixteenBit.rows = {0x12, 0xAB, 0x34, 0xCD};
  EXPECT_EQ(pixelsOf(sixteenBit), (Bytes{0x12, 0x12, 0x12, 0x34}));
}

TEST(PngDecoding, InterlacedImagesDecodeToTheSamePixelsAsPlainOnes) {
  // 9 x 9 reaches every one of the seven passes.
  PngFixture fixture;
  fixture.width = 9;
  fixture.height = 9;
  for (std::uint8_t y = 0; y < 9; ++y) {
    for (std::uint8_t x = 0; x < 9; ++x) {
      fixture.rows.insert(fixture.rows.end(), {static_cast<std::uint8_t>(x * 28), static_cast<std::uint8_t>(y * 28),
                                               static_cast<std::uint8_t>(x + 9 * y), static_cast<std::uint8_t>(255 - x)});
    }
  }
  fixture.interlaced = true;
  EXPECT_EQ(pixelsOf(fixture), fixture.rows);

  PngFixture palette;
  palette.width = 9;
  palette.height = 9;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.bitDepth = 1;
  palette.interlaced = true;
  palette.palette = {{1, 2, 3}, {200, 100, 50}};
  Bytes expected;
  for (int y = 0; y < 9; ++y) {
    // A checkerboard: pixel (x, y) is entry (x + y) % 2.
    const std::uint8_t first = y % 2 == 0 ? 0b0101'0101 : 0b1010'1010;
    palette.rows.insert(palette.rows.end(), {first, static_cast<std::uint8_t>(y % 2 == 0 ? 0x00 : 0x80)});
    for (int x = 0; x < 9; ++x) {
      const png_color& c = palette.palette[(x + y) % 2];
      expected.insert(expected.end(), {c.red, c.green, c.blue, 255});
    }
  }
  EXPECT_EQ(pixelsOf(palette), expected);
}

TEST(PngDecoding, PixelsMatchingTheColourKeyAreTransparent) {
  PngFixture rgb;
  rgb.width = 2;
  rgb.colorType = PNG_COLOR_TYPE_RGB;
  rgb.colourKey = key(10, 20, 30);
  rgb.rows = {10, 20, 30, 10, 20, 31};
  EXPECT_EQ(pixelsOf(rgb), (Bytes{10, 20, 30, 0, 10, 20, 31, 255}));

  PngFixture grey;
  grey.width = 2;
  grey.colorType = PNG_COLOR_TYPE_GRAY;
  grey.colourKey = key(0, 0, 0, 7);
  grey.rows = {7, 8};
  EXPECT_EQ(pixelsOf(grey), (Bytes{7, 7, 7, 0, 8, 8, 8, 255}));

  // The key is compared at full depth: the same high byte is not a match.
  PngFixture deep = rgb;
  deep.bitDepth = 16;
  deep.colourKey = key(0x8000, 0, 0);
  deep.rows = {0x80, 0x00, 0, 0, 0, 0, 0x80, 0xFF, 0, 0, 0, 0};
  EXPECT_EQ(pixelsOf(deep), (Bytes{0x80, 0, 0, 0, 0x80, 0, 0, 255}));
}

// --- damaged files ---

std::uint32_t readBigEndian(const std::string& file, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<std::uint8_t>(file[at + i]);
  return value;
}

void writeBigEndian(std::string& file, std::size_t at, std::uint32_t value) {
  for (int i = 3; i >= 0; --i, value >>= 8) file[at + i] = static_cast<char>(value & 0xFF);
}

// Offset of the chunk's length field.
std::size_t findChunk(const std::string& file, const char* type) {
  for (std::size_t at = 8; at + 12 <= file.size(); at += 12 + readBigEndian(file, at)) {
    if (file.compare(at + 4, 4, type) == 0) return at;
  }
  ADD_FAILURE() << "no " << type << " chunk";
  return 0;
}

// Recomputes a chunk's CRC after its data was edited, so only the edit itself is wrong.
void resealChunk(std::string& file, std::size_t at) {
  const std::uint32_t length = readBigEndian(file, at);
  const auto* start = reinterpret_cast<const Bytef*>(file.data() + at + 4);
  writeBigEndian(file, at + 8 + length, static_cast<std::uint32_t>(crc32(0, start, length + 4)));
}

std::string smallImage() {
  PngFixture fixture;
  fixture.width = 16;
  fixture.height = 16;
  for (int i = 0; i < 16 * 16 * 4; ++i) fixture.rows.push_back(static_cast<std::uint8_t>(i * 7919 % 251));
  return testing::encodePng(fixture);
}

TEST(PngDecoding, DamagedFilesFailWithTheirOwnNumberAndLeaveTheImageAlone) {
  const std::string good = smallImage();
  DecodedImage image;
  ASSERT_EQ(decode(good, image), PngError::none);
  const DecodedImage before = image;
  auto fails = [&](const std::string& file) {
    const PngError error = decode(file, image);
    EXPECT_EQ(image.width, before.width);
    EXPECT_EQ(image.pixels, before.pixels);
    return error;
  };

  EXPECT_EQ(fails(""), PngError::empty);
  EXPECT_EQ(fails("GIF89a, not a PNG at all"), PngError::notPng);
  EXPECT_EQ(fails(good.substr(0, 5)), PngError::truncated);
  EXPECT_EQ(fails(good.substr(0, 20)), PngError::truncated);
  const std::size_t idat = findChunk(good, "IDAT");
  EXPECT_EQ(fails(good.substr(0, idat + 8 + readBigEndian(good, idat) / 2)), PngError::truncated);
  EXPECT_EQ(fails(good.substr(0, good.size() - 12)), PngError::truncated) << "IEND missing";

  std::string badDepth = good;
  badDepth[findChunk(good, "IHDR") + 16] = 3;
  resealChunk(badDepth, findChunk(good, "IHDR"));
  EXPECT_EQ(fails(badDepth), PngError::badHeader);

  std::string badCrc = good;
  badCrc[findChunk(good, "IHDR") + 8 + 13] ^= 0x55;
  EXPECT_EQ(fails(badCrc), PngError::badHeader);

  std::string corrupt = good;
  corrupt[idat + 8] = 0x0F;  // a zlib header that names no known method
  resealChunk(corrupt, idat);
  EXPECT_EQ(fails(corrupt), PngError::badImageData);
}

TEST(PngDecoding, HugeDimensionsAreRefusedBeforeAnythingIsAllocated) {
  const std::string good = smallImage();
  const std::size_t ihdr = findChunk(good, "IHDR");
  auto withSize = [&](std::uint32_t width, std::uint32_t height) {
    std::string file = good;
    writeBigEndian(file, ihdr + 8, width);
    writeBigEndian(file, ihdr + 12, height);
    resealChunk(file, ihdr);
    DecodedImage image;
    return decode(file, image);
  };
  EXPECT_EQ(withSize(maxPngDimension + 1, 1), PngError::tooLarge);
  EXPECT_EQ(withSize(1, maxPngDimension + 1), PngError::tooLarge);
  EXPECT_EQ(withSize(0x7FFFFFFF, 0x7FFFFFFF), PngError::badHeader) << "beyond what PNG itself allows";
  // Within the limits, but a few hundred bytes cannot inflate to 16384 x 16384 pixels.
  EXPECT_EQ(withSize(maxPngDimension, maxPngDimension), PngError::tooLarge);
  // Claiming a little more than the data holds passes the early check and fails as damaged data.
  EXPECT_EQ(withSize(16, 40), PngError::badImageData);
}


#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
std::size_t largestAllocation = 0;
void recordAllocation(const volatile void*, std::size_t size) { largestAllocation = std::max(largestAllocation, size); }
void ignoreFree(const volatile void*) {}
#endif

TEST(PngDecoding, AChunkClaimingAGigabyteTakesNoGigabyte) {
  // A text chunk whose length field says a gigabyte, in a file of a few hundred bytes: libpng
  // used to take the gigabyte first and only then run out of data.
  const std::string good = smallImage();
  const std::size_t afterHeader = findChunk(good, "IHDR") + 12 + 13;
  const std::string file = good.substr(0, afterHeader) + std::string("\x40\x00\x00\x00tEXtComment", 15) +
                           std::string("\0hello", 6) + good.substr(afterHeader);
  DecodedImage image;
#if defined(__SANITIZE_ADDRESS__)
  // Only the sanitizer's allocator can tell what was asked for; elsewhere the answer alone is checked.
  static const int installed = __sanitizer_install_malloc_and_free_hooks(recordAllocation, ignoreFree);
  ASSERT_NE(installed, 0);
  largestAllocation = 0;
  EXPECT_EQ(decode(file, image), PngError::truncated);
  EXPECT_LT(largestAllocation, std::size_t{1} << 20);
#else
  EXPECT_EQ(decode(file, image), PngError::truncated);
#endif

  // Text and other chunks the picture does not need are read past, however large.
  std::string text = "Comment";
  text += '\0';
  text += std::string(5000, 'x');
  std::string chunk(8, '\0');
  writeBigEndian(chunk, 0, static_cast<std::uint32_t>(text.size()));
  chunk.replace(4, 4, "tEXt");
  chunk += text + std::string(4, '\0');
  std::string withText = good.substr(0, afterHeader) + chunk + good.substr(afterHeader);
  resealChunk(withText, afterHeader);
  ASSERT_EQ(decode(withText, image), PngError::none);
  DecodedImage plain;
  ASSERT_EQ(decode(good, plain), PngError::none);
  EXPECT_EQ(image.pixels, plain.pixels);
}

TEST(PngDecoding, EveryCutFailsAndEveryDamagedByteEndsInAnAnswerNotACrash) {
  PngFixture interlaced;
  interlaced.width = 9;
  interlaced.height = 9;
  interlaced.colorType = PNG_COLOR_TYPE_PALETTE;
  interlaced.bitDepth = 4;
  interlaced.interlaced = true;
  interlaced.palette = {{0, 0, 0}, {255, 255, 255}, {9, 9, 9}};
  interlaced.paletteAlpha = {0, 200};
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 5; ++x) interlaced.rows.push_back(static_cast<std::uint8_t>((x + y) % 3 << 4 | (x * y) % 3));
  }
  for (const std::string& good : {smallImage(), testing::encodePng(interlaced)}) {
    ASSERT_FALSE(good.empty());
    for (std::size_t length = 0; length < good.size(); ++length) {
      DecodedImage image;
      EXPECT_NE(decode(good.substr(0, length), image), PngError::none) << "cut at " << length;
    }
    for (std::size_t at = 0; at < good.size(); ++at) {
      std::string damaged = good;
      damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
      DecodedImage image;
      if (decode(damaged, image) == PngError::none) {
        EXPECT_EQ(image.pixels.size(), std::size_t{image.width} * image.height * 4) << "byte " << at;
      } else {
        EXPECT_TRUE(image.pixels.empty()) << "byte " << at;
      }
    }
  }
}

}  // namespace
}  // namespace glowmarch
