#include "renderer.h"

#include "camera_view.h"
#include "procedural_scene.h"
#include "sample_access.h"

#include <stdexcept>

namespace minihost {

namespace {

using render3d::CameraView;
using render3d::V3;

V3 toV3(const Vec3& v) {
    return {v[0], v[1], v[2]};
}

uint64_t mix64(uint64_t z) {
    z += 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// A value in [0, 1) with 24 bits, coarse enough that pixel + value never
// rounds up to the next pixel.
double unitInterval(uint64_t bits) {
    return static_cast<double>(bits >> 40) * 0x1.0p-24;
}

// Sample offsets inside the pixel depend only on seed, pixel and sample
// index, so frames repeat exactly whatever order pixels are visited in.
void jitter(uint64_t seed, int32_t x, int32_t y, int32_t sample, double& jx, double& jy) {
    const uint64_t pixel =
        (static_cast<uint64_t>(static_cast<uint32_t>(y)) << 32) | static_cast<uint32_t>(x);
    const uint64_t h =
        mix64(seed ^ mix64(pixel) ^ mix64(0x5A3Dull + static_cast<uint64_t>(sample)));
    jx = unitInterval(h);
    jy = unitInterval(mix64(h));
}

// Cleans up the first `count` filters, each even when an earlier one
// throws; used on the way out of a failed frame, so nothing escapes.
void cleanupQuietly(const std::vector<SampleFilter*>& filters, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        try {
            filters[i]->cleanup();
        } catch (...) {
        }
    }
}

} // namespace

RenderSettings renderSettingsFor(const Scene& scene, RenderSettings base) {
    base.width = scene.frameWidth();
    base.height = scene.frameHeight();
    base.frame = scene.frame();
    base.time = scene.time();
    base.cameraPosition.reset();
    base.previousCameraPosition.reset();
    double now[3];
    if (ItemID camera = scene.renderCamera(base.time);
        camera && scene.itemParam(camera, ITEM_PARAM_POSITION, base.time, now)) {
        base.cameraPosition = Vec3{now[0], now[1], now[2]};
        const double previousTime =
            base.framesPerSecond > 0 ? base.time - 1.0 / base.framesPerSecond : base.time;
        double then[3];
        if (scene.itemParam(camera, ITEM_PARAM_POSITION, previousTime, then))
            base.previousCameraPosition = Vec3{then[0], then[1], then[2]};
    }
    return base;
}

uint32_t gatherNeedFlags(const RenderJob& job) {
    uint32_t flags = job.imageFilterFlags;
    for (const SampleFilter* filter : job.pixelFilters)
        flags |= filter->flags();
    return flags;
}

namespace {

// Every sample of the frame: shade, let each pixel filter rewrite it, then
// add it to its pixel's average. Allocates nothing.
void renderSamples(const render3d::ProceduralScene& scene, const CameraView& camera,
                   const CameraView& previousCamera, const RenderSettings& s,
                   const std::vector<SampleFilter*>& filters, const std::vector<int32_t>& codes,
                   FrameBuffers& frame) {
    SampleAccess access;
    SampleValues sample{};
    SampleValues sum{};
    const float weight = 1.0f / static_cast<float>(s.samplesPerPixel);
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            sum.fill(0.0f);
            for (int32_t i = 0; i < s.samplesPerPixel; ++i) {
                double jx = 0, jy = 0;
                jitter(s.seed, x, y, i, jx, jy);
                const double sx = x + jx;
                const double sy = y + jy;
                scene.shadeSample(camera, previousCamera, sx, sy, sample);
                access.setSample(sx, sy, sample);
                for (SampleFilter* filter : filters)
                    access.run([filter](const PixelAccess& record) { filter->evaluate(record); });
                for (int32_t code : codes)
                    sum[static_cast<std::size_t>(code)] += sample[static_cast<std::size_t>(code)];
            }
            for (int32_t code : codes)
                *frame.element(code, x, y) = sum[static_cast<std::size_t>(code)] * weight;
        }
    }
}

} // namespace

FrameBuffers renderFrame(const RenderJob& job) {
    const RenderSettings& s = job.settings;
    if (s.samplesPerPixel < 1)
        throw std::invalid_argument("at least one sample per pixel is needed");
    for (const SampleFilter* filter : job.pixelFilters)
        if (!filter)
            throw std::invalid_argument("a pixel filter in the render job is null");
    FrameBuffers frame(s.width, s.height, frameBuffersForNeedFlags(gatherNeedFlags(job)));

    // The codes to accumulate, listed once so the pixel loop walks only them.
    std::vector<int32_t> codes;
    for (int32_t code = 0; code < kBufferCodeCount; ++code)
        if (frame.has(code))
            codes.push_back(code);

    const double previousTime = s.framesPerSecond > 0 ? s.time - 1.0 / s.framesPerSecond : s.time;
    const render3d::ProceduralScene scene(s.time, previousTime);
    const V3 cameraAt = toV3(s.cameraPosition.value_or(kDefaultCameraPosition));
    const V3 cameraWas = s.previousCameraPosition ? toV3(*s.previousCameraPosition) : cameraAt;
    const V3 target = toV3(kSceneCentre);
    const CameraView camera(cameraAt, target, kVerticalFieldOfView, s.width, s.height);
    const CameraView previousCamera(cameraWas, target, kVerticalFieldOfView, s.width, s.height);

    // Every filter that init reached is cleaned up, whatever happens next.
    const std::vector<SampleFilter*>& filters = job.pixelFilters;
    std::size_t initialised = 0;
    try {
        for (SampleFilter* filter : filters) {
            ++initialised;
            filter->init(1);
        }
        for (SampleFilter* filter : filters)
            filter->newTime(s.frame, s.time);
        renderSamples(scene, camera, previousCamera, s, filters, codes, frame);
    } catch (...) {
        cleanupQuietly(filters, initialised);
        throw;
    }
    for (SampleFilter* filter : filters)
        filter->cleanup();
    frame.resetOutput();
    return frame;
}

} // namespace minihost
