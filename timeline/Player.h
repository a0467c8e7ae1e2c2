// The application object: the script, the scene it builds, the music clock and the per-frame pass.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/Demoeffect.h"
#include "timeline/Script.h"

namespace glowmarch {

class Player {
 public:
  std::vector<Demoeffect*> scene;  // drawn every frame, in order; does not own
  std::unique_ptr<char[]> scriptText;
  std::vector<ScriptLine> scriptLines;
  std::uint32_t startTime = 0;
  std::uint32_t frameCount = 0;
  std::uint32_t stream = 0;

  // Fixed GL state, the script read and listed, its negative-time lines run.
  void init();
  void parseScript();
};

// Runs one line's command and marks it executed.
void executeLine(Player& player, ScriptLine& line);

// A new effect of the class named by the type word, or nullptr for an unknown word.
std::unique_ptr<Demoeffect> createEffect(const char* type);

}  // namespace glowmarch
