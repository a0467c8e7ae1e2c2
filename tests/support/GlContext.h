// A real OpenGL 3.3 compatibility context for tests and benchmarks: a hidden SDL window whose
// drawing goes to a framebuffer object, so pixels read back the same on any X server.
#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "resources/OffscreenTarget.h"

struct SDL_Window;

namespace glowmarch::testing {

class GlContext {
 public:
  GlContext(int width, int height);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  bool ok() const { return error.empty(); }
  const std::string& failure() const { return error; }
  int width() const { return w; }
  int height() const { return h; }

  // Binds the offscreen target and sets the viewport and the player's 45-degree projection.
  void bindTarget();
  // RGBA of one pixel, origin at the bottom left as in GL.
  std::array<std::uint8_t, 4> pixel(int x, int y) const;
  std::vector<std::uint8_t> readAll() const;
  // Capabilities off, nothing bound, program 0, white: what a drawing expects to start from.
  static void resetDrawingState();
  // First GL error since the last call, 0 if none (drains the queue).
  static GLenum takeError();

 private:
  int w;
  int h;
  std::string error;
  SDL_Window* window = nullptr;
  void* context = nullptr;
  OffscreenTarget target;
};

}  // namespace glowmarch::testing
