#include "effects/Transform.h"

#include <GL/glew.h>

#include <cmath>

#include "effects/FrameValues.h"

namespace glowmarch {

void Transform::reset() {
  for (int i = 0; i < 3; ++i) {
    deltaDirection[i] = deltaPoint[i] = point[i] = 0.0f;
    moveFrom[i] = moveTo[i] = rotateFrom[i] = rotateTo[i] = 0.0f;
  }
  direction[0] = 0.5f;
  direction[1] = 0.5f;
  direction[2] = 0.0f;
  moveStart = moveEnd = rotateStart = rotateEnd = 0.0;
  motionFlags = 0;
}

float smoothStep(double time, double start, double end) {
  // Single precision on purpose: tweens land on the same floats as the original player.
  float t = (static_cast<float>(time) - static_cast<float>(start)) /
            (static_cast<float>(end) - static_cast<float>(start));
  // A zero-length tween divides 0 by 0: it has arrived.
  if (std::isnan(t)) t = 1.0f;
  if (t < 0.0f) t = 0.0f;
  if (t > 1.0f) t = 1.0f;
  return (3.0f - 2.0f * t) * t * t;
}

namespace {

void tween(float* value, const float* from, const float* to, double time, double start, double end,
           std::uint32_t flag, std::uint32_t& flags) {
  if (!(flags & flag)) return;
  if (time > end) flags &= ~flag;
  const float s = smoothStep(time, start, end);
  for (int i = 0; i < 3; ++i) value[i] = (to[i] - from[i]) * s + from[i];
}

}  // namespace

void Transform::advance(double time, double delta) {
  for (int i = 0; i < 3; ++i) {
    point[i] = static_cast<float>(deltaPoint[i] * delta + point[i]);
    direction[i] = static_cast<float>(deltaDirection[i] * delta + direction[i]);
    if (direction[i] > 1.0f || direction[i] < 0.0f) {
      direction[i] = static_cast<float>(std::fmod(static_cast<double>(direction[i]), 1.0));
    }
  }
  tween(point, moveFrom, moveTo, time, moveStart, moveEnd, moving, motionFlags);
  tween(direction, rotateFrom, rotateTo, time, rotateStart, rotateEnd, rotating, motionFlags);
}

void Transform::update() { advance(musicTime, frameDelta); }

void Transform::apply() const {
  glTranslatef(point[0], point[1], point[2]);
  glRotatef((direction[0] - 0.5f) * 360.0f, 0.0f, 1.0f, 0.0f);
  glRotatef((direction[1] - 0.5f) * 180.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(direction[2] * 360.0f, 0.0f, 0.0f, 1.0f);
}

}  // namespace glowmarch
