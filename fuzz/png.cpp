// Fuzzes the PNG decoder and the row flip behind it. Each input is decoded as it is, and once more
// with every chunk's CRC made right, so that mutations get past the checksum into the chunk's meaning.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "resources/PngDecoder.h"
#include "resources/TextureLibrary.h"

namespace {

using glowmarch::DecodedImage;
using glowmarch::PngError;

// libpng itself carries no coverage: the outcome of each decode, by the header's colour type, bit
// depth and interlacing, counts as coverage instead, so inputs that reach a new combination stay.
constexpr int errorKinds = 8;
constexpr int colourTypes = 8;
constexpr int bitDepths = 17;
__attribute__((section("__libfuzzer_extra_counters"))) std::uint8_t outcomes[errorKinds][colourTypes][bitDepths][2];

void countOutcome(const std::uint8_t* data, std::size_t size, PngError error) {
  int colourType = colourTypes - 1;
  int bitDepth = 0;
  int interlaced = 0;
  if (size >= 29 && std::memcmp(data + 12, "IHDR", 4) == 0) {
    bitDepth = data[24] < bitDepths ? data[24] : 0;
    colourType = data[25] < colourTypes - 1 ? data[25] : colourTypes - 1;
    interlaced = data[28] != 0 ? 1 : 0;
  }
  const unsigned kind = static_cast<unsigned>(error) < errorKinds ? static_cast<unsigned>(error) : errorKinds - 1;
  ++outcomes[kind][colourType][bitDepth][interlaced];
}

std::uint32_t readBigEndian(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void writeBigEndian(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Rewrites the CRC of every whole chunk after the 8-byte signature; false when none was changed.
bool fixChecksums(std::vector<std::uint8_t>& file) {
  bool changed = false;
  std::size_t offset = 8;
  while (offset <= file.size() && file.size() - offset >= 12) {
    const std::uint32_t length = readBigEndian(&file[offset]);
    if (length > file.size() - offset - 12) break;
    const std::uint8_t* typeAndData = &file[offset + 4];
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), typeAndData, length + 4));
    std::uint8_t* stored = &file[offset + 8 + length];
    if (readBigEndian(stored) != crc) {
      writeBigEndian(stored, crc);
      changed = true;
    }
    offset += std::size_t{length} + 12;
  }
  return changed;
}

void decode(const std::uint8_t* data, std::size_t size) {
  DecodedImage image;
  const PngError error = glowmarch::decodePng(data, size, image);
  countOutcome(data, size, error);
  if (error == PngError::none) {
    // The texture upload takes width x height RGBA8 pixels from this buffer.
    if (image.width == 0 || image.height == 0) std::abort();
    if (image.width > glowmarch::maxPngDimension || image.height > glowmarch::maxPngDimension) std::abort();
    if (image.pixels.size() != std::size_t{image.width} * image.height * 4) std::abort();
    glowmarch::flipRows(image.pixels.data(), image.width, image.height);
  } else if (!image.pixels.empty() || image.width != 0) {
    std::abort();  // a failed decode leaves the image alone
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  decode(data, size);
  if (size > 8) {
    std::vector<std::uint8_t> fixed(data, data + size);
    if (fixChecksums(fixed)) decode(fixed.data(), fixed.size());
  }
  return 0;
}
