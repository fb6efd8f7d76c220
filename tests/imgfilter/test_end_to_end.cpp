// The image filter and access node on minihost's real node editor and render
// stand-in: a rendered frame filtered through a network, and the same filter
// saved as scene text and loaded again.
#include "module_file.h"

#include <minihost/filters.h>
#include <minihost/host.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/render/image_filter_pass.h>
#include <minihost/render/progress_tracker.h>
#include <minihost/render/renderer.h>
#include <minihost/scenefile/scene_document.h>
#include <minihost/streams.h>
#include <shared/servernames.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace {

using namespace minihost;

class EndToEnd : public ::testing::Test {
  protected:
    EndToEnd() { host.loadModule(testing_paths::moduleFile()); }

    static Network& networkOf(const ImageFilter& filter) {
        return minihost::networkOf(filter.get());
    }

    FrameBuffers render(uint32_t flags) {
        RenderJob job;
        job.settings.width = 48;
        job.settings.height = 20;
        job.settings.samplesPerPixel = 1;
        job.imageFilterFlags = flags;
        return renderFrame(job);
    }

    static std::vector<uint32_t> bitsOf(const RgbaImage& image) {
        std::vector<uint32_t> bits;
        for (float f : image.data())
            bits.push_back(std::bit_cast<uint32_t>(f));
        return bits;
    }

    Host host;
};

// Color = access node's Color x (0.5, 1, 2); Alpha unconnected.
void buildMultiplyNetwork(Network& net) {
    ModuleNode& access = net.addModule(SERVER_IMAGE_NODE, "access");
    Panel* panel = access.panel();
    ASSERT_NE(panel, nullptr);
    panel->set(0x800C, 1); // Depth, so that the frame is rendered with it
    net.addBuiltin("color_multiply", "mul");
    net.setDefault("mul", "B", {0.5, 1.0, 2.0});
    net.connect("access", "Color", "mul", "A");
    net.connect("mul", "Result", "Root", "Color");
}

TEST_F(EndToEnd, AccessNodeThroughMultiplyFiltersARenderedFrame) {
    ImageFilter filter;
    buildMultiplyNetwork(networkOf(filter));
    ASSERT_EQ(filter.flags(), 0x1000u);

    FrameBuffers frame = render(filter.flags());
    ASSERT_TRUE(frame.has(12));
    ProgressTracker tracker;
    runImageFilter(filter, frame, tracker.record());
    EXPECT_EQ(tracker.total(), 20u / 8);
    EXPECT_EQ(tracker.steps(), 20u / 8);
    EXPECT_TRUE(tracker.done());

    const double factor[3] = {0.5, 1.0, 2.0};
    for (int32_t y = 0; y < frame.height(); ++y) {
        for (int32_t x = 0; x < frame.width(); ++x) {
            const float* out = frame.output().pixel(x, y);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(out[c], float(double(frame.row(32 + c, y)[x]) * factor[c]))
                    << x << "," << y << " channel " << c;
            ASSERT_EQ(std::bit_cast<uint32_t>(out[3]),
                      std::bit_cast<uint32_t>(frame.row(35, y)[x]));
        }
    }
}

TEST_F(EndToEnd, ASceneSavedAndLoadedAgainFiltersBitForBit) {
    const nlohmann::json described = nlohmann::json::parse(R"({
        "tavi": 1,
        "imageFilters": [{
            "type": "Tavi_NodeImageFilter",
            "network": {
                "nodes": [
                    {"name": "access", "type": "Tavi_ImageFilterAccessNode",
                     "settings": {"Depth": true}},
                    {"name": "mul", "type": "color_multiply", "inputs": {"B": [0.5, 1, 2]}}
                ],
                "connections": [
                    {"from": "access.Color", "to": "mul.A"},
                    {"from": "mul.Result", "to": "Root.Color"}
                ]
            }
        }]
    })");
    FrameBuffers frame = render(0x1000u);
    std::string saved;
    std::vector<uint32_t> first;
    {
        SceneDocument scene = sceneFromJson(described, "described");
        ASSERT_EQ(scene.imageFilters.size(), 1u);
        EXPECT_EQ(scene.imageFilters[0]->flags(), 0x1000u);
        runImageFilter(*scene.imageFilters[0], frame);
        first = bitsOf(frame.output());
        saved = sceneToJson(scene).dump();
    }
    // What was filtered is the rendered colour times (0.5, 1, 2).
    EXPECT_EQ(first[4 * 5 + 2], std::bit_cast<uint32_t>(float(double(frame.row(34, 0)[5]) * 2)));

    SceneDocument loaded = sceneFromJson(nlohmann::json::parse(saved), "saved");
    ASSERT_EQ(loaded.imageFilters.size(), 1u);
    EXPECT_EQ(loaded.imageFilters[0]->flags(), 0x1000u); // the node's toggle came back
    runImageFilter(*loaded.imageFilters[0], frame);
    EXPECT_EQ(bitsOf(frame.output()), first);

    // The filter's own saved block carries the same network.
    SaveStream again;
    ASSERT_EQ(loaded.imageFilters[0]->instance().save(again.state()), nullptr);
    ImageFilter copy;
    LoadStream in(again.root());
    ASSERT_EQ(copy.instance().load(in.state()), nullptr);
    runImageFilter(copy, frame);
    EXPECT_EQ(bitsOf(frame.output()), first);
}

TEST_F(EndToEnd, AConnectedImageXReadsTheMirroredColumn) {
    // position."Image X" x -1 -> reader."Image X": about column w - x, clamped.
    ImageFilter filter;
    Network& net = networkOf(filter);
    net.addModule(SERVER_IMAGE_NODE, "position");
    net.addModule(SERVER_IMAGE_NODE, "reader");
    net.addBuiltin("multiply", "negate");
    net.setDefault("negate", "B", {-1.0, 0.0, 0.0});
    net.connect("position", "Image X", "negate", "A");
    net.connect("negate", "Result", "reader", "Image X");
    net.connect("reader", "Color", "Root", "Color");
    net.connect("reader", "Alpha", "Root", "Alpha");

    FrameBuffers frame = render(0);
    runImageFilter(filter, frame);
    const int32_t w = frame.width();
    for (int32_t y = 0; y < frame.height(); ++y) {
        for (int32_t x = 0; x < w; ++x) {
            // The same arithmetic as the node: rounding can land just below
            // w - x, and truncation then picks the column before.
            const double mirrored = -(double(2 * x) / w - 1.0);
            const int32_t source = std::min(int32_t((mirrored + 1.0) * 0.5 * w), w - 1);
            const float* out = frame.output().pixel(x, y);
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(out[c], frame.row(32 + c, y)[source]) << x << "," << y;
        }
    }
}

TEST_F(EndToEnd, AnAbortedPassLeavesNoNodeHoldingTheRecord) {
    ImageFilter filter;
    buildMultiplyNetwork(networkOf(filter));
    FrameBuffers frame = render(0x1000u);
    ProgressTracker tracker;
    tracker.abortFromStep(1);
    runImageFilter(filter, frame, tracker.record());
    EXPECT_TRUE(tracker.aborted());
    EXPECT_FALSE(tracker.done());
    // Evaluating the network outside any pass reads nothing: the node was
    // told to forget the aborted pass's record.
    const NodalSample sample{};
    const Value value = networkOf(filter).evaluate("mul", "A", sample);
    EXPECT_EQ(value, (Value{0.0, 0.0, 0.0}));
}

// Every access node on the topic hears a pass's hand-over, also those in
// other filters' networks, which that pass's cleanup does not reach. Once
// the pass is over they must hold no record: evaluating such a network
// outside a pass (a preview) reads zeros, never the finished pass's stack.
TEST_F(EndToEnd, AccessNodesOfOtherFiltersForgetTheRecordWhenAPassEnds) {
    ImageFilter first, second;
    networkOf(first).addModule(SERVER_IMAGE_NODE, "access");
    Network& other = networkOf(second);
    other.addModule(SERVER_IMAGE_NODE, "access");
    other.connect("access", "Color", "Root", "Color");
    FrameBuffers frame = render(0);
    runImageFilter(first, frame);

    NodalSample sample{};
    EXPECT_EQ(other.evaluate("Root", "Color", sample), (Value{0.0, 0.0, 0.0}));
}

} // namespace
