// Decoding a full-screen RGBA picture and turning it upright: what a large texture costs at start-up.
// Peers: libpng's own simplified reader on the same file, and one plain copy of the picture.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "resources/PngDecoder.h"
#include "resources/TextureLibrary.h"
#include "tests/support/PngFixture.h"

namespace {

constexpr std::uint32_t width = 1920;
constexpr std::uint32_t height = 1080;

// Gradients with a little noise: compresses about as well as a rendered backdrop.
const std::string& fullScreenPng() {
  static const std::string file = [] {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(std::size_t{width} * height * 4);
    std::minstd_rand noise(7);
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) {
        const auto grain = static_cast<std::uint8_t>(noise() % 8);
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(x * 255 / width + grain),
                                 static_cast<std::uint8_t>(y * 255 / height + grain), static_cast<std::uint8_t>(grain * 16),
                                 255});
      }
    }
    return glowmarch::testing::encodeRgba(width, height, rgba);
  }();
  return file;
}

void BM_DecodeFullScreenRgbaPng(benchmark::State& state) {
  const std::string& file = fullScreenPng();
  for (auto _ : state) {
    glowmarch::DecodedImage image;
    const auto error = glowmarch::decodePng(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), image);
    if (error != glowmarch::PngError::none) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 4);
}
BENCHMARK(BM_DecodeFullScreenRgbaPng)->Unit(benchmark::kMillisecond);

// The same file to RGBA through libpng's simplified API, which does no checks of its own.
void BM_LibpngSimplifiedDecode(benchmark::State& state) {
  const std::string& file = fullScreenPng();
  for (auto _ : state) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
      state.SkipWithError("libpng refused the file");
      return;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
      state.SkipWithError("libpng failed to decode");
      return;
    }
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 4);
}
BENCHMARK(BM_LibpngSimplifiedDecode)->Unit(benchmark::kMillisecond);

void BM_FlipFullScreenRows(benchmark::State& state) {
  std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4, 1);
  for (auto _ : state) {
    glowmarch::flipRows(pixels.data(), width, height);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 4);
}
BENCHMARK(BM_FlipFullScreenRows)->Unit(benchmark::kMicrosecond);

// The floor of a flip in place: every byte of the picture read and written once, where it lies.
void BM_InvertFullScreenPicture(benchmark::State& state) {
  std::vector<std::uint64_t> words(std::size_t{width} * height / 2, 1);
  for (auto _ : state) {
    for (std::uint64_t& word : words) word = ~word;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 4);
}
BENCHMARK(BM_InvertFullScreenPicture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
