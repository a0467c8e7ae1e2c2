// Writes the PNG seeds: every colour type at every bit depth it allows, plain and interlaced, with
// and without tRNS, plus a cut file; and the pictures the script fuzzer's show uses.
// Usage: png_seeds <corpus folder> <show textures folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/PngFixture.h"

namespace {

namespace fs = std::filesystem;
using glowmarch::testing::PngFixture;
using glowmarch::testing::encodePng;

int channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

// Packed scanlines of varied samples; any sample is valid, since palettes get 2^depth entries.
PngFixture fixture(int colorType, int bitDepth, std::uint32_t width, std::uint32_t height, bool interlaced) {
  PngFixture f;
  f.width = width;
  f.height = height;
  f.colorType = colorType;
  f.bitDepth = bitDepth;
  f.interlaced = interlaced;
  const std::size_t rowBytes = (std::size_t{width} * channels(colorType) * bitDepth + 7) / 8;
  f.rows.resize(rowBytes * height);
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < rowBytes; ++x) f.rows[y * rowBytes + x] = static_cast<std::uint8_t>(x * 37 + y * 91 + 11);
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < (1 << bitDepth); ++i) {
      f.palette.push_back(png_color{static_cast<png_byte>(i * 53), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)});
    }
  }
  return f;
}

bool write(const fs::path& path, const std::string& bytes) {
  if (bytes.empty()) {
    std::fprintf(stderr, "libpng refused %s\n", path.c_str());
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <corpus folder> <show textures folder>\n", argv[0]);
    return 2;
  }
  const fs::path corpus = argv[1];
  const fs::path show = argv[2];
  fs::create_directories(corpus);
  fs::create_directories(show);
  bool ok = true;

  struct Type {
    const char* name;
    int colorType;
    int depths[5];
  };
  const Type types[] = {
      {"gray", PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},  {"grayalpha", PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
      {"rgb", PNG_COLOR_TYPE_RGB, {8, 16}},            {"rgba", PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}},
      {"palette", PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
  };
  for (const Type& type : types) {
    for (int depth : type.depths) {
      if (depth == 0) break;
      for (bool interlaced : {false, true}) {
        // 9 x 5: odd sizes, and every Adam7 pass has pixels.
        const PngFixture f = fixture(type.colorType, depth, 9, 5, interlaced);
        const std::string name = std::string(type.name) + std::to_string(depth) + (interlaced ? "-adam7" : "");
        ok &= write(corpus / (name + ".png"), encodePng(f));
      }
      // Transparency from tRNS: a colour key, or alpha per palette entry.
      if ((type.colorType & PNG_COLOR_MASK_ALPHA) != 0) continue;
      PngFixture keyed = fixture(type.colorType, depth, 9, 5, false);
      if (type.colorType == PNG_COLOR_TYPE_PALETTE) {
        keyed.paletteAlpha = {0, 128, 255};
      } else {
        const png_uint_16 key = static_cast<png_uint_16>((1u << depth) - 2);
        keyed.colourKey = png_color_16{0, key, key, key, key};
      }
      ok &= write(corpus / (std::string(type.name) + std::to_string(depth) + "-trns.png"), encodePng(keyed));
    }
  }
  // One pixel, and a file cut inside its image data.
  ok &= write(corpus / "rgba8-1x1.png", encodePng(fixture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 1, 1, false)));
  const std::string whole = encodePng(fixture(PNG_COLOR_TYPE_RGB, 8, 16, 16, false));
  ok &= write(corpus / "rgb8-cut.png", whole.substr(0, whole.size() - 20));

  // The show: a 16 x 16 glyph grid for the font, a picture, and a cut file.
  PngFixture font = fixture(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 32, 32, false);
  ok &= write(show / "profont.png", encodePng(font));
  ok &= write(show / "pic.png", encodePng(fixture(PNG_COLOR_TYPE_PALETTE, 4, 3, 3, true)));
  const std::string picture = encodePng(fixture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 4, 4, false));
  ok &= write(show / "cut.png", picture.substr(0, picture.size() / 2));
  return ok ? 0 : 1;
}
