// The edit mode's reuse of what a show made from its files: programs, stages, textures and meshes
// whose files did not change are handed to the next show built in the same GL context instead of
// being made again. Off by default: the player makes everything anew, as it always has.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glowmarch {

// While on, a show that is torn down with releaseShowState hands its resources on to the next one.
void keepResourcesAcrossShows(bool keep);
bool keepingResources();

// The identity of a file's content: two files with the same hash are taken to be the same.
std::uint64_t contentHash(const void* bytes, std::size_t size);

}  // namespace glowmarch
