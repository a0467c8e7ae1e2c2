#include "app/capture/CapturePart.h"

namespace glowmarch {

namespace {

// first + count * k / parts without overflow for any count a capture can hold.
std::uint64_t boundary(std::uint64_t first, std::uint64_t count, int k, int parts) {
  const auto n = static_cast<std::uint64_t>(parts);
  const auto i = static_cast<std::uint64_t>(k);
  return first + count / n * i + count % n * i / n;
}

}  // namespace

FrameSpan partOfFrames(std::uint64_t first, std::uint64_t end, int part, int parts) {
  if (end <= first || parts < 1 || part < 1 || part > parts) return {first, first};
  const std::uint64_t count = end - first;
  return {boundary(first, count, part - 1, parts), boundary(first, count, part, parts)};
}

}  // namespace glowmarch
