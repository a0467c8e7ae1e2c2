#include "timeline/Platform.h"

#include <chrono>
#include <cstdio>

namespace glowmarch {

namespace {

void printMessage(const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

std::uint32_t steadyMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

Platform current{printMessage, steadyMilliseconds};

}  // namespace

const Platform& platform() { return current; }

void setPlatform(const Platform& replacement) { current = replacement; }

}  // namespace glowmarch
