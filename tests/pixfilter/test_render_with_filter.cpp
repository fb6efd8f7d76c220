// End to end: the built-in renderer drives a pixel filter whose network reads
// the sample through an access node, and the frame holds what it wrote.
#include "pixel_fixture.h"

#include <minihost/render/renderer.h>
#include <minihost/render/sample_filter.h>

#include <cmath>

namespace pixeltest {
namespace {

using minihost::FrameBuffers;
using minihost::PixelFilter;

float at(const FrameBuffers& frame, int32_t code, int32_t x, int32_t y) {
    const float* value = frame.element(code, x, y);
    return value ? *value : NAN;
}

TEST_F(PixelTest, TheRenderedFrameHoldsTheBuffersTheNetworkWrote) {
    PixelFilter filter;
    auto node = placeAccessNode(filter);
    node->check(0x8006, 1); // Raw Color
    node->check(0x800C, 1); // Depth
    fakes::Member access = node->member();
    fakes::Output& raw = node->output("Raw Color");
    fakes::Output& depth = node->output("Depth");
    // Color: Raw Color dimmed with depth. Depth: halved.
    rootInput(filter, 0).source = [&](NodalSample& s, double* out) {
        double colour[3], d[3];
        fakes::NodeGraph::evaluateOutput(access, raw, s, colour);
        fakes::NodeGraph::evaluateOutput(access, depth, s, d);
        for (int c = 0; c < 3; ++c)
            out[c] = colour[c] / (1.0 + d[0]);
    };
    rootInput(filter, 13).source = [&](NodalSample& s, double* out) {
        fakes::NodeGraph::evaluateOutput(access, depth, s, out);
        out[0] *= 0.5;
    };

    host.scene().setFrameSize(24, 16);
    minihost::RenderJob plain;
    plain.settings = minihost::renderSettingsFor(host.scene());
    plain.settings.samplesPerPixel = 1; // the frame holds each sample as written
    plain.imageFilterFlags = bufferChannels[7].needFlags | bufferChannels[13].needFlags;
    const FrameBuffers reference = minihost::renderFrame(plain);

    minihost::PixelFilterAdapter adapter(filter);
    minihost::RenderJob filtered = plain;
    filtered.imageFilterFlags = 0; // the filter asks for what its node reads
    filtered.pixelFilters = {&adapter};
    const FrameBuffers frame = minihost::renderFrame(filtered);

    ASSERT_TRUE(frame.has(6) && frame.has(8) && frame.has(12));
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 24; ++x) {
            SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
            const double d = at(reference, 12, x, y);
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(at(frame, 6 + c, x, y), at(reference, 6 + c, x, y));
                ASSERT_EQ(at(frame, 32 + c, x, y),
                          static_cast<float>(at(reference, 6 + c, x, y) / (1.0 + d)));
            }
            ASSERT_EQ(at(frame, 12, x, y), static_cast<float>(d * 0.5));
            ASSERT_EQ(at(frame, 35, x, y), at(reference, 35, x, y));
        }
    EXPECT_EQ(editorOf(filter).calls, (std::vector<std::string>{"init 1", "newtime 0", "cleanup"}));
}

} // namespace
} // namespace pixeltest
