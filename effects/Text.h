// A line of bitmap-font characters from "profont.png": one 0.5 x 1 textured quad per byte.
#pragma once

#include <memory>
#include <string>

#include "effects/Demoeffect.h"

namespace glowmarch {

class Text : public Demoeffect {
 public:
  std::string text;

  // Takes the shared font texture; 0 when the font cannot be loaded, and text then draws untextured.
  Text();
  Text(const Text& other) = default;

  // Nothing at all, not even the children, while `text` is empty.
  void draw() override;
  bool advance() override;
  std::unique_ptr<Demoeffect> clone() const override;
  // "text;value" replaces the characters, "append;value" adds to them.
  void local(float time, char* parameter) override;
  static std::vector<LocalWord> localWords();
};

}  // namespace glowmarch
