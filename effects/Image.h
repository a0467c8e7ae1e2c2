// One texture on a blended quad, 1 unit high and `aspect` units wide, centred on the origin and facing +Z.
#pragma once

#include <memory>

#include "effects/Demoeffect.h"

namespace glowmarch {

class Image : public Demoeffect {
 public:
  double aspect = 1.0;  // width over height; negative mirrors the picture

  Image() = default;
  Image(const Image& other) = default;

  // The children first, then the quad, sampled nearest; the texture samples linearly afterwards.
  void draw() override;
  std::unique_ptr<Demoeffect> clone() const override;
  // "aspect;value"; other words are ignored without a message.
  void local(float time, char* parameter) override;
  static std::vector<LocalWord> localWords();
};

}  // namespace glowmarch
