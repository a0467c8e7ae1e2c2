// Decodes a PNG file held in memory to 8-bit RGBA rows, whatever its colour type, depth or interlacing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace glowmarch {

// Why a decode failed: the number printed after "Decode png failed: ".
enum class PngError : unsigned {
  none = 0,
  empty = 1,         // zero bytes
  notPng = 2,        // the signature is missing
  truncated = 3,     // the bytes end before the image does
  badHeader = 4,     // the header or a chunk before the image data is malformed
  tooLarge = 5,      // dimensions beyond what we accept, or more than the file could hold
  badImageData = 6,  // corrupt compressed data or a malformed chunk after it
  outOfMemory = 7,
};

// Wider or taller pictures are refused: no GL driver we meet takes a larger texture.
inline constexpr std::uint32_t maxPngDimension = 16384;

struct DecodedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width * height RGBA8 pixels, rows packed, top row first
};

// 16-bit samples keep their high byte, samples below 8 bits are scaled to 0..255, and a palette's
// or a tRNS chunk's transparency lands in alpha. `image` is changed only on success.
PngError decodePng(const std::uint8_t* bytes, std::size_t size, DecodedImage& image);

}  // namespace glowmarch
