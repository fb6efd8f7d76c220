// Small 3D vector arithmetic for the built-in renderer.
#pragma once

#include <cmath>

namespace minihost::render3d {

struct V3 {
    double x = 0, y = 0, z = 0;
};

constexpr V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr V3 operator-(V3 a) {
    return {-a.x, -a.y, -a.z};
}
constexpr V3 operator*(V3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
constexpr V3 operator*(double s, V3 a) {
    return a * s;
}
// Component-wise product, for colours.
constexpr V3 operator*(V3 a, V3 b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}
constexpr double dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(V3 a) {
    return std::sqrt(dot(a, a));
}
// The unit vector along a; the zero vector stays zero.
inline V3 normalize(V3 a) {
    const double len = length(a);
    return len > 0 ? a * (1.0 / len) : a;
}
// Mirror direction of d about the unit normal n.
constexpr V3 reflect(V3 d, V3 n) {
    return d - n * (2.0 * dot(d, n));
}
constexpr V3 mix(V3 a, V3 b, double t) {
    return a * (1.0 - t) + b * t;
}

struct Ray {
    V3 origin;
    V3 direction; // unit length
};

} // namespace minihost::render3d
