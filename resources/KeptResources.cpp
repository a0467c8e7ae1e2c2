#include "resources/KeptResources.h"

namespace glowmarch {

namespace {
bool keeping = false;
}  // namespace

void keepResourcesAcrossShows(bool keep) { keeping = keep; }

bool keepingResources() { return keeping; }

// 64-bit FNV-1a: fast enough to hash every file of a show on each reload, and a chance collision
// between two versions of one file is negligible.
std::uint64_t contentHash(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= p[i];
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace glowmarch
