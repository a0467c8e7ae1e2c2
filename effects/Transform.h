// Placement of a scene object: position, orientation in turns, velocities and smooth-step tweens.
#pragma once

#include <cstdint>

namespace glowmarch {

struct Transform {
  static constexpr std::uint32_t moving = 1u << 0;
  static constexpr std::uint32_t rotating = 1u << 1;

  float deltaDirection[3];
  float deltaPoint[3];
  float point[3];
  // Turns: [0] about Y and [1] about X, both relative to 0.5; [2] about Z.
  float direction[3];
  float moveFrom[3];
  float moveTo[3];
  float rotateFrom[3];
  float rotateTo[3];
  double moveStart;
  double moveEnd;
  double rotateStart;
  double rotateEnd;
  std::uint32_t motionFlags;

  Transform() { reset(); }

  void reset();
  // One animation step at the frame loop's current musicTime and frameDelta.
  void update();
  // The same step at an explicit time, for code that has no frame loop.
  void advance(double time, double delta);
  // Multiplies the current GL matrix by the placement; changes nothing.
  void apply() const;
};

// The tween curve: t clamped to [0, 1], then (3 - 2t) t^2, all in single precision.
float smoothStep(double time, double start, double end);

}  // namespace glowmarch
