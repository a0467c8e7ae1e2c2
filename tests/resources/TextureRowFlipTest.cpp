#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resources/TextureLibrary.h"

namespace glowmarch {
namespace {

std::vector<std::uint8_t> rowsOf(std::uint32_t width, const std::vector<std::uint8_t>& rowValues) {
  std::vector<std::uint8_t> pixels;
  for (std::uint8_t value : rowValues) pixels.insert(pixels.end(), width * 4, value);
  return pixels;
}

TEST(TextureRowFlip, OuterRowsSwapAndAnOddMiddleRowStays) {
  std::vector<std::uint8_t> threeByThree = rowsOf(3, {1, 2, 3});
  flipRows(threeByThree.data(), 3, 3);
  EXPECT_EQ(threeByThree, rowsOf(3, {3, 2, 1}));

  std::vector<std::uint8_t> four = rowsOf(2, {1, 2, 3, 4});
  flipRows(four.data(), 2, 4);
  EXPECT_EQ(four, rowsOf(2, {4, 3, 2, 1}));

  std::vector<std::uint8_t> one = rowsOf(5, {9});
  flipRows(one.data(), 5, 1);
  EXPECT_EQ(one, rowsOf(5, {9}));
  flipRows(nullptr, 5, 0);  // nothing to touch
}

}  // namespace
}  // namespace glowmarch
