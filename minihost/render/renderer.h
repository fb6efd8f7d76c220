// The built-in renderer: draws the procedural scene into a FrameBuffers with
// several jittered samples per pixel and drives pixel filters per sample, as
// the host's renderer would. Image filters are not its business: they run on
// the finished frame (see image_filter_pass.h).
#pragma once

#include "frame_buffers.h"
#include "sample_filter.h"

#include "../scene.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace minihost {

// Where the default camera stands; every camera looks at the scene centre.
inline constexpr Vec3 kDefaultCameraPosition{0.0, 2.0, 7.0};
inline constexpr Vec3 kSceneCentre{0.0, 0.7, 0.0};
inline constexpr double kVerticalFieldOfView = 45.0; // degrees

struct RenderSettings {
    int32_t width = 320;
    int32_t height = 240;
    int32_t frame = 0;
    double time = 0.0;
    // Length of a frame for the motion buffers; 0 or less gives no motion.
    double framesPerSecond = 30.0;
    int32_t samplesPerPixel = 4;
    // Same seed, same settings and same filters give the same frame.
    uint64_t seed = 1;
    // Camera position now and one frame earlier; without them the default
    // camera, which does not move.
    std::optional<Vec3> cameraPosition;
    std::optional<Vec3> previousCameraPosition;
};

// The scene's frame size, frame and time, and its render camera at the
// current time and one frame earlier when it has one; the rest from base.
RenderSettings renderSettingsFor(const Scene& scene, RenderSettings base = {});

struct RenderJob {
    RenderSettings settings;
    // Not owned; they must outlive renderFrame. Evaluated in this order.
    std::vector<SampleFilter*> pixelFilters;
    // Union of the image filters' flags, so the frame holds their buffers.
    uint32_t imageFilterFlags = 0;
};

// The need-flag union the frame is rendered for: every pixel filter's flags
// (asked once) and the image filters' word.
uint32_t gatherNeedFlags(const RenderJob& job);

// Renders one frame. For each pixel filter, in order: init (mode 1), then
// new-time (frame, time); per sample each filter's evaluate, which may
// rewrite any buffer of the sample; finally each filter's cleanup, also
// when an evaluate throws. The frame holds the buffers the need flags ask
// for plus final colour and alpha, each the plain average of the pixel's
// samples (so a silhouette pixel against the sky averages in the sky's large
// depth); its output image starts as that colour and alpha.
// Throws std::invalid_argument for a negative size, fewer than one sample
// or a null filter.
FrameBuffers renderFrame(const RenderJob& job);

} // namespace minihost
