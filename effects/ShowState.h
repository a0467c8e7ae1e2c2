// Every process-wide registry and per-frame value back to how the process started: for a restart,
// whose new context knows none of the old GL objects, and for tests and tools that play many shows.
#pragma once

namespace glowmarch {

void clearShowState();

// The same for a show torn down in a context that goes on: its objects are destroyed and the GL
// objects they made deleted, except the programs, stages, textures and meshes handed on to the
// next show while resources are kept (keepResourcesAcrossShows).
void releaseShowState();

}  // namespace glowmarch
