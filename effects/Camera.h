// The eye of the scene: places the view with gluLookAt and lights whatever is attached to it.
#pragma once

#include <memory>

#include "effects/Demoeffect.h"

namespace glowmarch {

// `point` is the eye; `direction` is heading (turns about Y), polar angle from straight up
// (half-turns) and roll (turns). The placement is never applied as a model transform.
class Camera : public Demoeffect {
 public:
  Camera();
  void draw() override;
  std::unique_ptr<Demoeffect> clone() const override;
};

}  // namespace glowmarch
