// Pixel filters over an existing frame: one sample per pixel at its centre,
// changed values written back, new buffers created only when written.
#include <minihost/render/frame_pixel_pass.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace minihost;

// Writes depth * 2 into the red of raw colour and records the sample positions.
class DepthToRaw final : public SampleFilter {
  public:
    std::vector<std::string> calls;
    std::vector<std::pair<double, double>> positions;
    bool throwOnEvaluate = false;

    uint32_t flags() const override { return 0; }
    void init(int32_t mode) override { calls.push_back("init " + std::to_string(mode)); }
    void newTime(int32_t frame, double) override {
        calls.push_back("newTime " + std::to_string(frame));
    }
    void cleanup() override { calls.push_back("cleanup"); }
    void evaluate(const PixelAccess& access) override {
        if (throwOnEvaluate)
            throw std::runtime_error("evaluate failed");
        positions.emplace_back(access.sx, access.sy);
        float depth = 0;
        access.getValue(kBufferDepth, 1, &depth);
        const float raw[3] = {depth * 2, 0, 0};
        access.setValue(kBufferRawRed, 3, raw);
    }
};

TEST(FramePixelPass, OneSampleAtEachPixelCentreAndWritesKept) {
    FrameBuffers frame(3, 2, buffersForNeedFlags(1u << kBufferDepth));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            *frame.element(kBufferDepth, x, y) = float(x + 10 * y);
    DepthToRaw filter;
    SampleFilter* filters[] = {&filter};
    runPixelFiltersOverFrame(frame, filters, 7, 0.25);

    EXPECT_EQ(filter.calls, (std::vector<std::string>{"init 1", "newTime 7", "cleanup"}));
    ASSERT_EQ(filter.positions.size(), 6u);
    EXPECT_EQ(filter.positions[0], (std::pair<double, double>{0.5, 0.5}));
    EXPECT_EQ(filter.positions[5], (std::pair<double, double>{2.5, 1.5}));
    // Raw red did not exist; the filter wrote non-zero values, so it exists now.
    ASSERT_TRUE(frame.has(kBufferRawRed));
    EXPECT_EQ(*frame.element(kBufferRawRed, 2, 1), 24.0f);
    EXPECT_EQ(*frame.element(kBufferRawRed, 0, 0), 0.0f);
    // Green and blue were written as the zeros they read: still missing.
    EXPECT_FALSE(frame.has(kBufferRawRed + 1));
    EXPECT_EQ(*frame.element(kBufferDepth, 1, 1), 11.0f);
}

TEST(FramePixelPass, CleanupFollowsAFailedEvaluateAndNoFiltersIsANoOp) {
    FrameBuffers frame(2, 2);
    DepthToRaw filter;
    filter.throwOnEvaluate = true;
    SampleFilter* filters[] = {&filter};
    EXPECT_THROW(runPixelFiltersOverFrame(frame, filters, 1, 0.0), std::runtime_error);
    EXPECT_EQ(filter.calls.back(), "cleanup");
    runPixelFiltersOverFrame(frame, {}, 1, 0.0);
}

} // namespace
