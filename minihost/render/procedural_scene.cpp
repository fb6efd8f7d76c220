#include "procedural_scene.h"

#include "buffer_codes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace minihost::render3d {

namespace {

constexpr double kAmbient = 0.15;
// Offset of secondary ray origins off a surface, against self-hits.
constexpr double kEpsilon = 1e-6;
constexpr double kPi = std::numbers::pi;

// The nearest positive distance along a unit ray to a sphere, or +inf.
double hitSphere(const Ray& ray, V3 centre, double radius) {
    const V3 oc = ray.origin - centre;
    const double b = dot(oc, ray.direction);
    const double c = dot(oc, oc) - radius * radius;
    const double disc = b * b - c;
    if (disc < 0)
        return std::numeric_limits<double>::infinity();
    const double root = std::sqrt(disc);
    if (const double near = -b - root; near > kEpsilon)
        return near;
    if (const double far = -b + root; far > kEpsilon)
        return far;
    return std::numeric_limits<double>::infinity();
}

void put(SampleValues& out, int32_t code, double value) {
    out[static_cast<std::size_t>(code)] = static_cast<float>(value);
}

void putColour(SampleValues& out, int32_t code, V3 colour) {
    put(out, code, colour.x);
    put(out, code + 1, colour.y);
    put(out, code + 2, colour.z);
}

} // namespace

ProceduralScene::ProceduralScene(double time, double previousTime) : light_{-4.0, 7.0, 5.0} {
    // Base placements; the red sphere slides left and right, the green one
    // bounces. Both motions repeat every two seconds.
    auto slide = [](double t) { return V3{0.5 * std::sin(kPi * t), 0, 0}; };
    auto bounce = [](double t) { return V3{0, 0.4 * std::abs(std::sin(kPi * t)), 0}; };
    const Material red{{0.85, 0.15, 0.12}, 0.0, 0.9, 0.1, 0.0, 0.0, 8};
    const Material green{{0.15, 0.7, 0.2}, 0.0, 0.7, 0.6, 0.0, 0.0, 60};
    const Material chrome{{0.9, 0.9, 0.95}, 0.0, 0.15, 0.8, 0.8, 0.0, 120};
    const Material glass{{0.2, 0.35, 0.9}, 0.0, 0.5, 0.7, 0.1, 0.6, 90};
    const Material lamp{{1.0, 0.75, 0.2}, 1.0, 0.3, 0.0, 0.0, 0.0, 1};
    const V3 redAt{-1.6, 0.9, 0.0};
    const V3 greenAt{0.9, 0.7, 0.6};
    spheres_ = {{
        {redAt + slide(time), redAt + slide(previousTime), 0.9, red},
        {greenAt + bounce(time), greenAt + bounce(previousTime), 0.7, green},
        {{0.1, 1.0, -2.0}, {0.1, 1.0, -2.0}, 1.0, chrome},
        {{2.3, 0.5, -0.6}, {2.3, 0.5, -0.6}, 0.5, glass},
        {{-0.4, 0.35, 1.6}, {-0.4, 0.35, 1.6}, 0.35, lamp},
    }};
}

ProceduralScene::SphereView ProceduralScene::sphere(int index) const {
    const Sphere& s = spheres_.at(static_cast<std::size_t>(index));
    return {s.centre, s.radius, &s.material};
}

bool ProceduralScene::trace(const Ray& ray, int skip, Hit& hit) const {
    double nearest = std::numeric_limits<double>::infinity();
    int object = kNothing;
    for (int i = 0; i < static_cast<int>(spheres_.size()); ++i) {
        if (i == skip)
            continue;
        const double d = hitSphere(ray, spheres_[i].centre, spheres_[i].radius);
        if (d < nearest) {
            nearest = d;
            object = i;
        }
    }
    // The ground is the plane y = 0.
    if (skip != kGround && ray.direction.y != 0) {
        const double d = -ray.origin.y / ray.direction.y;
        if (d > kEpsilon && d < nearest) {
            nearest = d;
            object = kGround;
        }
    }
    if (object == kNothing)
        return false;
    hit.distance = nearest;
    hit.object = object;
    hit.point = ray.origin + ray.direction * nearest;
    hit.normal = object == kGround
                     ? V3{0, 1, 0}
                     : (hit.point - spheres_[static_cast<std::size_t>(object)].centre) *
                           (1.0 / spheres_[static_cast<std::size_t>(object)].radius);
    if (dot(hit.normal, ray.direction) > 0)
        hit.normal = -hit.normal;
    return true;
}

double ProceduralScene::lightVisibility(V3 point, V3 toLight, double lightDistance) const {
    double visibility = 1.0;
    for (const Sphere& sphere : spheres_)
        if (hitSphere({point, toLight}, sphere.centre, sphere.radius) < lightDistance)
            visibility *= sphere.material.transparency;
    return visibility;
}

const Material& ProceduralScene::materialOf(const Hit& hit, Material& scratch) const {
    if (hit.object != kGround)
        return spheres_[static_cast<std::size_t>(hit.object)].material;
    // One-unit checker squares.
    const auto cell = static_cast<long long>(std::floor(hit.point.x) + std::floor(hit.point.z));
    const bool odd = (cell & 1) != 0;
    scratch = {odd ? V3{0.35, 0.35, 0.4} : V3{0.8, 0.8, 0.78}, 0.0, 0.9, 0.1, 0.15, 0.0, 20};
    return scratch;
}

ProceduralScene::DirectLight ProceduralScene::directLight(const Hit& hit, V3 direction,
                                                          const Material& material) const {
    const V3 toLight = light_ - hit.point;
    const double distance = length(toLight);
    const V3 l = toLight * (1.0 / distance);
    const double facing = dot(hit.normal, l);
    DirectLight light;
    light.shading = kAmbient;
    // A surface turned away from the light is unlit, not shadowed by another object.
    if (facing <= 0)
        return light;
    const double visibility = lightVisibility(hit.point + hit.normal * kEpsilon, l, distance);
    const double highlight = std::max(0.0, dot(reflect(-l, hit.normal), -direction));
    light.shadow = 1.0 - visibility;
    light.diffuse = facing * visibility;
    light.specular = std::pow(highlight, material.shininess) * visibility;
    light.shading = kAmbient + (1.0 - kAmbient) * light.diffuse;
    return light;
}

V3 ProceduralScene::litColour(const Material& material, const DirectLight& light) const {
    const V3 white{1, 1, 1};
    return material.colour * (material.diffuse * light.shading + material.luminous) +
           white * (material.specular * light.specular);
}

V3 ProceduralScene::simpleColour(const Ray& ray, int skip) const {
    Hit hit;
    if (!trace(ray, skip, hit))
        return sky(ray.direction);
    Material scratch;
    const Material& material = materialOf(hit, scratch);
    return litColour(material, directLight(hit, ray.direction, material));
}

V3 ProceduralScene::sky(V3 direction) {
    const double up = std::clamp(direction.y, 0.0, 1.0);
    return mix(V3{0.75, 0.85, 0.95}, V3{0.25, 0.45, 0.85}, up);
}

void ProceduralScene::shadeSample(const CameraView& camera, const CameraView& previousCamera,
                                  double sx, double sy, SampleValues& out) const {
    out.fill(0.0f);
    const Ray ray = camera.rayThrough(sx, sy);
    Hit hit;
    if (!trace(ray, kNothing, hit)) {
        putColour(out, kBufferFinalRed, sky(ray.direction));
        put(out, kBufferDepth, kSkyDepth);
        return; // alpha, passes and motion stay 0
    }
    Material scratch;
    const Material& material = materialOf(hit, scratch);
    const DirectLight light = directLight(hit, ray.direction, material);

    V3 reflection;
    if (material.mirror > 0)
        reflection = simpleColour(
            {hit.point + hit.normal * kEpsilon, reflect(ray.direction, hit.normal)}, hit.object);
    V3 colour = mix(litColour(material, light), reflection, material.mirror);
    if (material.transparency > 0) {
        // What lies behind, seen straight through the object.
        const V3 behind = simpleColour({hit.point, ray.direction}, hit.object);
        colour = mix(colour, behind, material.transparency);
    }

    // Motion: where this surface point was a frame earlier, seen from where
    // the camera was then, in pixels.
    V3 previousPoint = hit.point;
    if (hit.object != kGround) {
        const Sphere& sphere = spheres_[static_cast<std::size_t>(hit.object)];
        previousPoint = hit.point - (sphere.centre - sphere.previousCentre);
    }
    double nowX = 0, nowY = 0, thenX = 0, thenY = 0;
    if (camera.project(hit.point, nowX, nowY) &&
        previousCamera.project(previousPoint, thenX, thenY)) {
        put(out, kBufferMotionX, nowX - thenX);
        put(out, kBufferMotionY, nowY - thenY);
    }

    put(out, kBufferLuminous, material.luminous);
    put(out, kBufferDiffuse, material.diffuse);
    put(out, kBufferSpecular, material.specular);
    put(out, kBufferMirror, material.mirror);
    put(out, kBufferTransparency, material.transparency);
    putColour(out, kBufferRawRed, material.colour);
    put(out, kBufferShading, light.shading);
    put(out, kBufferShadow, light.shadow);
    put(out, kBufferGeometry, dot(hit.normal, -ray.direction));
    put(out, kBufferDepth, hit.distance);
    put(out, kBufferDiffuseShading, light.diffuse);
    put(out, kBufferSpecularShading, light.specular);
    putColour(out, kBufferReflectionRed, reflection);
    putColour(out, kBufferFinalRed, colour);
    put(out, kBufferAlpha, 1.0);
}

} // namespace minihost::render3d
