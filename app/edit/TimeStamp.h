// The time stamp that makes a script line run in a given frame. A line runs in the first frame whose
// music time is past its stamp, so the stamp of the frame shown at 7.700 s is 7.699: written as 7.700
// the line would run a frame later.
#pragma once

#include <cstdint>
#include <string>

namespace glowmarch {

// The largest whole millisecond below `seconds`, written short: "7.699", "7.69", "8", "-0.001".
std::string stampBefore(double seconds);

// The stamp of a line that runs in grid frame `frame` (1/60 s) and not before, with the music's clock
// and, in a show without music, with the millisecond clock (frame 2 stands at 0.033 s there). A
// stamp for frame 0 is negative: a start-up line, in place before the first frame.
std::string stampForFrame(std::uint64_t frame);

}  // namespace glowmarch
