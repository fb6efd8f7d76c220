// A pinhole camera over a frame of pixels: the ray through a pixel position
// and the pixel position of a point. Pixel y grows downward, row 0 on top.
#pragma once

#include "vector3.h"

#include <cstdint>

namespace minihost::render3d {

class CameraView {
  public:
    // Looks from position toward target with the world's +y up. A target at
    // the position looks down -z; looking straight up or down keeps +x right.
    CameraView(V3 position, V3 target, double verticalFovDegrees, int32_t width, int32_t height);

    V3 position() const { return position_; }
    // The unit ray from the camera through pixel position (sx, sy).
    Ray rayThrough(double sx, double sy) const;
    // The pixel position of a point; false for a point at or behind the
    // camera plane.
    bool project(V3 point, double& sx, double& sy) const;

  private:
    V3 position_;
    V3 forward_, right_, up_;
    double halfHeight_; // tangent of half the vertical field of view
    double halfWidth_;
    double width_, height_;
};

} // namespace minihost::render3d
