// The viewport and the 45-degree perspective every scene is drawn under.
#pragma once

namespace glowmarch {

struct Projection {
  int viewportWidth;
  int viewportHeight;
  double fieldOfView;  // degrees, vertical
  double aspect;
  double nearPlane;
  double farPlane;
};

// What `resizeView` sets for a client area of that size.
Projection projectionFor(int width, int height);

// Viewport and projection for the client area; leaves an identity model-view matrix current.
void resizeView(int width, int height);

}  // namespace glowmarch
