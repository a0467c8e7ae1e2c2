// Builds PNG files in memory with libpng's writer, so tests make the exact fixture they need.
#pragma once

#include <png.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glowmarch::testing {

struct PngFixture {
  std::uint32_t width = 1;
  std::uint32_t height = 1;
  int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  int bitDepth = 8;
  bool interlaced = false;
  // Scanlines as the file stores them before filtering: packed samples, 16-bit big-endian, top row first.
  std::vector<std::uint8_t> rows;
  std::vector<png_color> palette;
  std::vector<std::uint8_t> paletteAlpha;  // tRNS for a palette image
  std::optional<png_color_16> colourKey;   // tRNS for a grey or true-colour image
};

namespace detail {

inline void appendToString(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
inline void flushNothing(png_structp) {}
[[noreturn]] inline void failWrite(png_structp png, png_const_charp) { png_longjmp(png, 1); }
inline void ignoreWriteWarning(png_structp, png_const_charp) {}

// Under libpng's longjmp error handling: no local here needs a destructor.
inline bool writePng(std::string* out, const PngFixture* fixture, png_bytepp rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failWrite, ignoreWriteWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, appendToString, flushNothing);
  png_set_IHDR(png, info, fixture->width, fixture->height, fixture->bitDepth, fixture->colorType,
               fixture->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!fixture->palette.empty()) {
    png_set_PLTE(png, info, fixture->palette.data(), static_cast<int>(fixture->palette.size()));
  }
  if (!fixture->paletteAlpha.empty()) {
    png_set_tRNS(png, info, fixture->paletteAlpha.data(), static_cast<int>(fixture->paletteAlpha.size()), nullptr);
  }
  if (fixture->colourKey) {
    png_color_16 key = *fixture->colourKey;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace detail

// The encoded file; empty if libpng refused the fixture.
inline std::string encodePng(const PngFixture& fixture) {
  const std::size_t rowBytes = fixture.height == 0 ? 0 : fixture.rows.size() / fixture.height;
  std::vector<png_bytep> rows(fixture.height);
  std::vector<std::uint8_t> copy = fixture.rows;  // libpng wants writable rows
  for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = copy.data() + y * rowBytes;
  std::string out;
  if (!detail::writePng(&out, &fixture, rows.data())) out.clear();
  return out;
}

// An 8-bit RGBA image from pixels given top row first.
inline std::string encodeRgba(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgba) {
  PngFixture fixture;
  fixture.width = width;
  fixture.height = height;
  fixture.rows = rgba;
  return encodePng(fixture);
}

}  // namespace glowmarch::testing
