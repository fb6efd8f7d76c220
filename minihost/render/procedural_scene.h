// The built-in scene: five spheres of different materials on an endless
// checkered ground plane under a sky gradient, lit by one point light with
// shadows. Two spheres move over time, which gives the motion buffers
// something to show.
#pragma once

#include "camera_view.h"
#include "sample_access.h"

#include <array>

namespace minihost::render3d {

// Depth written where a ray meets nothing.
inline constexpr float kSkyDepth = 1.0e6f;

struct Material {
    V3 colour; // unlit surface colour (the ground replaces it with its checker)
    double luminous = 0;
    double diffuse = 0;
    double specular = 0;
    double mirror = 0;
    double transparency = 0;
    double shininess = 1; // specular exponent
};

class ProceduralScene {
  public:
    // Objects where they are at `time`, remembering where they were at
    // `previousTime` (a frame earlier) for the motion buffers.
    ProceduralScene(double time, double previousTime);

    // Fills every buffer code of one sample at pixel position (sx, sy):
    // the render passes 1-19, final colour 32-34 and alpha 35; all other
    // codes 0. previousCamera gives the motion of camera movement.
    void shadeSample(const CameraView& camera, const CameraView& previousCamera, double sx,
                     double sy, SampleValues& out) const;

    // Where each sphere is at the scene's time, for callers that need to
    // find them on screen.
    struct SphereView {
        V3 centre;
        double radius;
        const Material* material;
    };
    static constexpr int kSphereCount = 5;
    SphereView sphere(int index) const;

  private:
    struct Sphere {
        V3 centre;
        V3 previousCentre;
        double radius;
        Material material;
    };
    struct Hit {
        double distance = 0;
        V3 point;
        V3 normal; // unit, facing the incoming ray
        int object = kNothing;
    };
    struct DirectLight {
        double diffuse = 0;  // light on the surface, cosine-weighted
        double specular = 0; // highlight strength
        double shadow = 0;   // share of the light blocked by other objects
        double shading = 0;  // total light level, ambient included
    };
    static constexpr int kNothing = -2;
    static constexpr int kGround = -1;

    // The nearest hit along the ray, ignoring object `skip`.
    bool trace(const Ray& ray, int skip, Hit& hit) const;
    // How much of the light reaches the point: 1 unblocked, 0 fully blocked;
    // transparent spheres let part of it through.
    double lightVisibility(V3 point, V3 toLight, double lightDistance) const;
    const Material& materialOf(const Hit& hit, Material& scratch) const;
    DirectLight directLight(const Hit& hit, V3 direction, const Material& material) const;
    V3 litColour(const Material& material, const DirectLight& light) const;
    // Direct light only: what reflections and transparency show.
    V3 simpleColour(const Ray& ray, int skip) const;
    static V3 sky(V3 direction);

    std::array<Sphere, kSphereCount> spheres_;
    V3 light_;
};

} // namespace minihost::render3d
