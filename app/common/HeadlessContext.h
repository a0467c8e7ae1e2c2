// Where a capture draws: an OpenGL 3.3 compatibility context with no visible window and a
// framebuffer object of the capture's size. Works on an X display (hidden window) and without any
// (SDL's offscreen driver over EGL), where the default framebuffer may be single-buffered or tiny.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "resources/OffscreenTarget.h"

struct SDL_Window;

namespace glowmarch {

class HeadlessContext {
 public:
  HeadlessContext() = default;
  ~HeadlessContext();
  HeadlessContext(const HeadlessContext&) = delete;
  HeadlessContext& operator=(const HeadlessContext&) = delete;

  // Context, entry points and framebuffer, bound, with the show's viewport and projection for the size.
  // On failure says why in `error` and holds nothing.
  bool open(int width, int height, std::string& error);
  // The name of the video driver in use ("x11", "offscreen", ...).
  const char* driver() const;

  // The picture as RGBA rows, bottom row first as GL reads it.
  void read(std::vector<std::uint8_t>& rgba) const;

  int width() const { return w; }
  int height() const { return h; }

 private:
  void release();
  int w = 0;
  int h = 0;
  SDL_Window* window = nullptr;
  void* context = nullptr;
  OffscreenTarget target;
};

}  // namespace glowmarch
