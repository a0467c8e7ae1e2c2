// Every process-wide registry and per-frame value back to how the process started: for a restart,
// whose new context knows none of the old GL objects, and for tests and tools that play many shows.
#pragma once

namespace glowmarch {

void clearShowState();

}  // namespace glowmarch
