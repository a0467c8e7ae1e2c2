// Which frames one part of a capture spread over several processes writes.
#pragma once

#include <cstdint>

namespace glowmarch {

struct FrameSpan {
  std::uint64_t first = 0;
  std::uint64_t end = 0;  // one past the last
};

// The `part`-th (from 1) of `parts` consecutive ranges of frames [first, end), as equal as whole
// frames allow: the parts put together are the whole, each frame in exactly one of them.
FrameSpan partOfFrames(std::uint64_t first, std::uint64_t end, int part, int parts);

}  // namespace glowmarch
