// What the player needs from the program around it: message boxes and a millisecond clock.
// The shell installs SDL's; tests install recorders and fake clocks.
#pragma once

#include <cstdint>

namespace glowmarch {

struct Platform {
  // A box with an OK button, owned by the show's window.
  void (*showMessage)(const char* text, const char* caption);
  // A 32-bit millisecond clock that may wrap.
  std::uint32_t (*milliseconds)();
};

// The platform in use; defaults print boxes to standard error and read the steady clock.
const Platform& platform();
void setPlatform(const Platform& replacement);

}  // namespace glowmarch
