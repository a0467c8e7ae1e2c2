// The edit mode's picture: the show draws each frame into it, as a capture draws, and it is shown
// from there, again and again while paused.
#pragma once

#include "resources/OffscreenTarget.h"

namespace glowmarch {

// Where a picture goes in the window, in window pixels from the top left.
struct PictureArea;

// The show's last picture: a paused show is shown again from it, never drawn again, since drawing a
// frame advances it. A frame on the grid is drawn straight into it, into the very kind of buffer a
// capture draws into (RGBA8 with depth and stencil): the window's own has no alpha, which blending
// may read.
class Snapshot {
 public:
  // Its objects died with their context.
  void forget() { *this = Snapshot(); }

  // The next frame is drawn here, until unbind().
  void bindForDrawing(int w, int h);
  static void unbind();

  bool fits(int w, int h) const { return target.framebuffer != 0 && w == width && h == height; }

  // Shows the picture in `area` of the window (w x h): 1:1 when it fills it, else scaled, the rest
  // of the window cleared.
  void present(int w, int h, const PictureArea& area) const;

 private:
  void fit(int w, int h);

  OffscreenTarget target;
  int width = 0;
  int height = 0;
};

}  // namespace glowmarch
