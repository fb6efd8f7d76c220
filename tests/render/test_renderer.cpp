// The built-in renderer: what the frame holds, and how it drives pixel
// filters around the frame and per sample.
#include "allocation_counter.h"

#include <minihost/render/camera_view.h>
#include <minihost/render/procedural_scene.h>
#include <minihost/render/renderer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace minihost;

namespace {

// A pixel filter double: logs its frame calls, counts samples and runs an
// optional body per sample.
class FakeFilter final : public SampleFilter {
  public:
    FakeFilter(std::string name, std::vector<std::string>& log, uint32_t flags = 0)
        : name_(std::move(name)), log_(log), flags_(flags) {}

    std::function<void(const PixelAccess&)> onEvaluate;
    long evaluations = 0;

    uint32_t flags() const override { return flags_; }
    void init(int32_t mode) override { log_.push_back(name_ + " init " + std::to_string(mode)); }
    void newTime(int32_t frame, double time) override {
        log_.push_back(name_ + " newTime " + std::to_string(frame) + " " + std::to_string(time));
    }
    void evaluate(const PixelAccess& access) override {
        ++evaluations;
        if (onEvaluate)
            onEvaluate(access);
    }
    void cleanup() override { log_.push_back(name_ + " cleanup"); }

  private:
    std::string name_;
    std::vector<std::string>& log_;
    uint32_t flags_;
};

RenderJob smallJob(int32_t width = 64, int32_t height = 48) {
    RenderJob job;
    job.settings.width = width;
    job.settings.height = height;
    return job;
}

float at(const FrameBuffers& frame, int32_t code, int32_t x, int32_t y) {
    const float* value = frame.element(code, x, y);
    return value ? *value : NAN;
}

} // namespace

TEST(Renderer, SkyIsTransparentAndFarWhileEverySphereIsOpaque) {
    RenderJob job = smallJob(160, 120);
    job.imageFilterFlags = 1u << kBufferDepth;
    const FrameBuffers frame = renderFrame(job);

    EXPECT_EQ(at(frame, kBufferAlpha, 80, 1), 0.0f);
    EXPECT_EQ(at(frame, kBufferDepth, 80, 1), render3d::kSkyDepth);
    EXPECT_GT(at(frame, kBufferFinalBlue, 80, 1), 0.0f); // the sky has a colour

    const render3d::ProceduralScene scene(0.0, 0.0);
    const render3d::CameraView camera(
        {kDefaultCameraPosition[0], kDefaultCameraPosition[1], kDefaultCameraPosition[2]},
        {kSceneCentre[0], kSceneCentre[1], kSceneCentre[2]}, kVerticalFieldOfView, 160, 120);
    for (int i = 0; i < render3d::ProceduralScene::kSphereCount; ++i) {
        double sx = 0, sy = 0;
        ASSERT_TRUE(camera.project(scene.sphere(i).centre, sx, sy));
        const auto x = static_cast<int32_t>(sx), y = static_cast<int32_t>(sy);
        EXPECT_EQ(at(frame, kBufferAlpha, x, y), 1.0f) << "sphere " << i;
        const float depth = at(frame, kBufferDepth, x, y);
        EXPECT_GT(depth, 0.0f);
        EXPECT_LT(depth, 20.0f);
    }
}

TEST(Renderer, GroundDepthGrowsTowardTheHorizon) {
    RenderJob job = smallJob(160, 120);
    job.imageFilterFlags = (1u << kBufferDepth) | (1u << kBufferGeometry);
    const FrameBuffers frame = renderFrame(job);
    // The left edge shows only ground below the horizon and sky above it.
    const int32_t x = 2;
    int32_t y = frame.height() - 1;
    float previous = at(frame, kBufferDepth, x, y);
    int32_t groundRows = 1;
    for (--y; y >= 0 && at(frame, kBufferAlpha, x, y) == 1.0f; --y, ++groundRows) {
        const float depth = at(frame, kBufferDepth, x, y);
        EXPECT_GT(depth, previous) << "row " << y;
        previous = depth;
        const float facing = at(frame, kBufferGeometry, x, y);
        EXPECT_GE(facing, 0.0f);
        EXPECT_LE(facing, 1.0f);
    }
    EXPECT_GT(groundRows, 30);
    for (; y >= 0; --y)
        EXPECT_EQ(at(frame, kBufferAlpha, x, y), 0.0f) << "row " << y;
}

TEST(Renderer, HoldsOnlyTheBuffersTheFlagsAskFor) {
    std::vector<std::string> log;
    // Depth and the pixel filter's own option bits 29 and 31.
    FakeFilter filter("A", log, 0xA0000000u | (1u << kBufferDepth));
    RenderJob job = smallJob(8, 6);
    job.pixelFilters = {&filter};
    job.imageFilterFlags = 0x1C0u; // raw colour
    const FrameBuffers frame = renderFrame(job);

    BufferCodeSet expected = frameBuffersForNeedFlags(0);
    expected.set(kBufferDepth).set(kBufferRawRed).set(kBufferRawGreen).set(kBufferRawBlue);
    EXPECT_EQ(frame.codes(), expected);
    EXPECT_EQ(frame.row(kBufferShadow, 0), nullptr);
    EXPECT_EQ(frame.row(29, 0), nullptr);
    // The output image starts as the rendered colour and alpha.
    EXPECT_EQ(frame.output().pixel(3, 5)[0], at(frame, kBufferFinalRed, 3, 5));
    EXPECT_EQ(frame.output().pixel(3, 5)[3], at(frame, kBufferAlpha, 3, 5));
}

TEST(Renderer, SameSeedSameFrameOtherSeedOtherSamples) {
    RenderJob job = smallJob(40, 30);
    job.imageFilterFlags = 0xFFFFEu;
    const FrameBuffers first = renderFrame(job);
    const FrameBuffers second = renderFrame(job);
    for (int32_t code = 0; code < kBufferCodeCount; ++code) {
        if (!first.has(code))
            continue;
        for (int32_t y = 0; y < first.height(); ++y)
            for (int32_t x = 0; x < first.width(); ++x)
                ASSERT_EQ(at(first, code, x, y), at(second, code, x, y))
                    << "code " << code << " at " << x << "," << y;
    }
    job.settings.seed = 2;
    const FrameBuffers reseeded = renderFrame(job);
    int differing = 0;
    for (int32_t y = 0; y < first.height(); ++y)
        for (int32_t x = 0; x < first.width(); ++x)
            differing += at(first, kBufferDepth, x, y) != at(reseeded, kBufferDepth, x, y);
    EXPECT_GT(differing, 0);
}

TEST(Renderer, DrivesPixelFiltersAroundTheFrameAndPerSampleInOrder) {
    std::vector<std::string> log;
    FakeFilter a("A", log), b("B", log);
    // A rewrites alpha; B, evaluated after A on the same sample, must see it.
    a.onEvaluate = [](const PixelAccess& access) {
        const float quarter = 0.25f;
        access.setValue(kBufferAlpha, 1, &quarter);
    };
    bool bSawA = true;
    b.onEvaluate = [&](const PixelAccess& access) {
        float alpha = 0;
        access.getValue(kBufferAlpha, 1, &alpha);
        bSawA = bSawA && alpha == 0.25f;
    };
    RenderJob job = smallJob(10, 7);
    job.settings.samplesPerPixel = 3;
    job.settings.frame = 5;
    job.settings.time = 0.5;
    job.pixelFilters = {&a, &b};
    const FrameBuffers frame = renderFrame(job);

    EXPECT_EQ(log, (std::vector<std::string>{"A init 1", "B init 1", "A newTime 5 0.500000",
                                             "B newTime 5 0.500000", "A cleanup", "B cleanup"}));
    EXPECT_EQ(a.evaluations, 10 * 7 * 3);
    EXPECT_EQ(b.evaluations, 10 * 7 * 3);
    EXPECT_TRUE(bSawA);
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 10; ++x)
            ASSERT_FLOAT_EQ(at(frame, kBufferAlpha, x, y), 0.25f);
}

TEST(Renderer, SamplesLieInsideTheirPixelAndAverageIntoIt) {
    std::vector<std::string> log;
    FakeFilter filter("A", log, 1u << kBufferMotionX);
    bool inside = true;
    int32_t expectX = 0, expectY = 0, samplesOfPixel = 0;
    filter.onEvaluate = [&](const PixelAccess& access) {
        // Samples come pixel by pixel, row by row.
        inside = inside && std::floor(access.sx) == expectX && std::floor(access.sy) == expectY;
        if (++samplesOfPixel == 4) {
            samplesOfPixel = 0;
            if (++expectX == 6) {
                expectX = 0;
                ++expectY;
            }
        }
        const float sx = static_cast<float>(access.sx);
        access.setValue(kBufferMotionX, 1, &sx);
    };
    RenderJob job = smallJob(6, 4);
    job.pixelFilters = {&filter};
    const FrameBuffers frame = renderFrame(job);
    EXPECT_TRUE(inside);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            const float mean = at(frame, kBufferMotionX, x, y);
            EXPECT_GT(mean, static_cast<float>(x));
            EXPECT_LT(mean, static_cast<float>(x + 1));
        }
}

TEST(Renderer, PerSamplePathAllocatesNothing) {
    std::vector<std::string> log;
    FakeFilter filter("A", log, 0xFFFFEu);
    std::size_t atFirstSample = 0, atLastSample = 0;
    filter.onEvaluate = [&](const PixelAccess&) {
        if (filter.evaluations == 1)
            atFirstSample = allocationCount();
        atLastSample = allocationCount();
    };
    RenderJob job = smallJob(32, 24);
    job.pixelFilters = {&filter};
    const std::size_t before = allocationCount();
    (void)renderFrame(job);
    EXPECT_GT(allocationCount(), before); // the counter does count: the frame allocates
    EXPECT_GT(filter.evaluations, 1);
    EXPECT_EQ(atLastSample, atFirstSample);
}

TEST(Renderer, CleansUpWhenAFilterFailsAndRejectsBadJobs) {
    std::vector<std::string> log;
    FakeFilter a("A", log), b("B", log);
    b.onEvaluate = [](const PixelAccess&) { throw std::runtime_error("filter failed"); };
    RenderJob job = smallJob(4, 4);
    job.pixelFilters = {&a, &b};
    EXPECT_THROW((void)renderFrame(job), std::runtime_error);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "A cleanup");
    EXPECT_EQ(log.back(), "B cleanup");

    job.pixelFilters = {&a, nullptr};
    EXPECT_THROW((void)renderFrame(job), std::invalid_argument);
    job.pixelFilters = {&a};
    job.settings.samplesPerPixel = 0;
    EXPECT_THROW((void)renderFrame(job), std::invalid_argument);
    job.settings.samplesPerPixel = 1;
    job.settings.width = -1;
    EXPECT_THROW((void)renderFrame(job), std::invalid_argument);

    // An empty frame still opens and closes the filters' render state.
    log.clear();
    a.evaluations = 0;
    job.settings.width = 0;
    const FrameBuffers empty = renderFrame(job);
    EXPECT_EQ(a.evaluations, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"A init 1", "A newTime 0 0.000000", "A cleanup"}));
}

TEST(Renderer, TakesFrameTimeAndCameraFromTheScene) {
    Scene scene;
    scene.setFrameSize(48, 36);
    scene.setTime(12, 0.5);
    RenderSettings settings = renderSettingsFor(scene);
    EXPECT_EQ(settings.width, 48);
    EXPECT_EQ(settings.height, 36);
    EXPECT_EQ(settings.frame, 12);
    EXPECT_EQ(settings.time, 0.5);
    EXPECT_FALSE(settings.cameraPosition.has_value());

    // A camera moving sideways: the static ground moves on screen.
    CameraItem camera;
    camera.position = [](double t) { return Vec3{3.0 * t, 2.0, 7.0}; };
    scene.setCamera(camera);
    settings = renderSettingsFor(scene);
    ASSERT_TRUE(settings.cameraPosition.has_value());
    EXPECT_EQ(*settings.cameraPosition, (Vec3{1.5, 2.0, 7.0}));
    ASSERT_TRUE(settings.previousCameraPosition.has_value());
    EXPECT_DOUBLE_EQ((*settings.previousCameraPosition)[0], 1.5 - 3.0 / 30.0);

    RenderJob job;
    job.settings = settings;
    job.imageFilterFlags = 1u << kBufferMotionX;
    const FrameBuffers moving = renderFrame(job);
    const int32_t x = 24, y = 35; // ground near the bottom edge
    EXPECT_EQ(at(moving, kBufferAlpha, x, y), 1.0f);
    EXPECT_NE(at(moving, kBufferMotionX, x, y), 0.0f);
    EXPECT_EQ(at(moving, kBufferMotionX, x, 0), 0.0f); // the sky has no motion

    scene.clearCamera();
    job.settings = renderSettingsFor(scene);
    const FrameBuffers still = renderFrame(job);
    EXPECT_EQ(at(still, kBufferMotionX, x, y), 0.0f);
}
