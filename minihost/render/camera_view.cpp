#include "camera_view.h"

#include <numbers>

namespace minihost::render3d {

CameraView::CameraView(V3 position, V3 target, double verticalFovDegrees, int32_t width,
                       int32_t height)
    : position_(position), width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
    forward_ = normalize(target - position);
    if (dot(forward_, forward_) == 0)
        forward_ = {0, 0, -1};
    right_ = normalize(cross(forward_, V3{0, 1, 0}));
    if (dot(right_, right_) == 0)
        right_ = {1, 0, 0};
    up_ = cross(right_, forward_);
    halfHeight_ = std::tan(verticalFovDegrees * std::numbers::pi / 360.0);
    halfWidth_ = halfHeight_ * width_ / height_;
}

Ray CameraView::rayThrough(double sx, double sy) const {
    const double nx = (sx / width_) * 2.0 - 1.0;
    const double ny = 1.0 - (sy / height_) * 2.0;
    return {position_, normalize(forward_ + right_ * (nx * halfWidth_) + up_ * (ny * halfHeight_))};
}

bool CameraView::project(V3 point, double& sx, double& sy) const {
    const V3 d = point - position_;
    const double z = dot(d, forward_);
    if (z <= 1e-9)
        return false;
    const double nx = dot(d, right_) / (z * halfWidth_);
    const double ny = dot(d, up_) / (z * halfHeight_);
    sx = (nx + 1.0) * 0.5 * width_;
    sy = (1.0 - ny) * 0.5 * height_;
    return true;
}

} // namespace minihost::render3d
