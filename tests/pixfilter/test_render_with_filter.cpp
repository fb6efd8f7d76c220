// The pixel filter in minihost's own node editor: the built-in renderer drives
// a filter whose network reads the sample through a pixel access node, and the
// frame holds what it wrote; the network and settings survive save, load and
// copy; the root-node panel works through the editor.
#include "module_file.h"

#include <minihost/filters.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/render/renderer.h>
#include <minihost/render/sample_filter.h>
#include <minihost/streams.h>

#include <shared/channels.h>
#include <shared/servernames.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using minihost::Connection;
using minihost::FrameBuffers;
using minihost::PixelFilter;

constexpr int kRaw = 6, kDepth = 12;

class HostNetwork : public ::testing::Test {
  protected:
    HostNetwork() { host.loadModule(testing_paths::moduleFile()); }

    minihost::NodeEditor& editorOf(const PixelFilter& filter) {
        minihost::NodeEditor* editor = host.nodeEditors().findByUserData(filter.get());
        if (!editor)
            throw std::logic_error("the filter has no editor");
        return *editor;
    }
    minihost::Network& networkOf(const PixelFilter& filter) { return editorOf(filter).network(); }

    // Color <- Raw Color / Depth; Depth <- Depth * 0.5; the access node asks
    // for the two buffers it reads.
    void buildDimByDepth(const PixelFilter& filter) {
        minihost::Network& net = networkOf(filter);
        minihost::ModuleNode& access = net.addModule(SERVER_PIXEL_NODE, "access");
        minihost::Panel* panel = access.panel();
        ASSERT_NE(panel, nullptr);
        panel->set(0x8006, 1); // Raw Color
        panel->set(0x800C, 1); // Depth
        net.addBuiltin("color_divide", "dim");
        net.connect("access", "Raw Color", "dim", "A");
        net.connect("access", "Depth", "dim", "B");
        net.connect("dim", "Result", "Root", "Color");
        net.addBuiltin("multiply", "half");
        net.setDefault("half", "B", {0.5, 0, 0});
        net.connect("access", "Depth", "half", "A");
        net.connect("half", "Result", "Root", "Depth");
    }

    minihost::Host host;
};

float at(const FrameBuffers& frame, int32_t code, int32_t x, int32_t y) {
    const float* value = frame.element(code, x, y);
    return value ? *value : NAN;
}

TEST_F(HostNetwork, TheRenderedFrameHoldsTheBuffersTheNetworkWrote) {
    PixelFilter filter;
    buildDimByDepth(filter);
    EXPECT_EQ(filter.flags(),
              0xA0000000u | bufferChannels[7].needFlags | bufferChannels[13].needFlags);

    host.scene().setFrameSize(32, 24);
    minihost::RenderJob plain;
    plain.settings = minihost::renderSettingsFor(host.scene());
    plain.settings.samplesPerPixel = 1; // the frame holds each sample as written
    plain.imageFilterFlags = filter.flags() & 0x000FFFFEu;
    const FrameBuffers reference = minihost::renderFrame(plain);

    minihost::PixelFilterAdapter adapter(filter);
    minihost::RenderJob filtered = plain;
    filtered.imageFilterFlags = 0; // the filter asks for what its node reads
    filtered.pixelFilters = {&adapter};
    const FrameBuffers frame = minihost::renderFrame(filtered);

    ASSERT_TRUE(frame.has(kRaw) && frame.has(kRaw + 2) && frame.has(kDepth));
    int dimmed = 0;
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
            const double depth = at(reference, kDepth, x, y);
            for (int c = 0; c < 3; ++c) {
                const double raw = at(reference, kRaw + c, x, y);
                ASSERT_EQ(at(frame, kRaw + c, x, y), static_cast<float>(raw));
                const double expected = depth == 0 ? 0 : raw / depth;
                ASSERT_EQ(at(frame, 32 + c, x, y), static_cast<float>(expected));
                dimmed += expected != at(reference, 32 + c, x, y);
            }
            ASSERT_EQ(at(frame, kDepth, x, y), static_cast<float>(depth * 0.5));
            ASSERT_EQ(at(frame, 35, x, y), at(reference, 35, x, y));
        }
    EXPECT_GT(dimmed, 0) << "the filter changed the picture";
}

TEST_F(HostNetwork, NetworkAndSettingsSurviveSaveAndLoadButCopyTakesOnlyTheNetwork) {
    PixelFilter original;
    buildDimByDepth(original);
    editorOf(original).rootPanel()->set(0x8001, 0);
    editorOf(original).rootPanel()->set(0x8002, 1);
    const uint32_t flags = original.flags();
    ASSERT_EQ(flags & 0xE0000000u, 0xC0000000u);

    minihost::SaveStream out;
    ASSERT_EQ(original.instance().save(out.state()), nullptr);
    PixelFilter loaded;
    minihost::LoadStream in(out.root());
    ASSERT_EQ(loaded.instance().load(in.state()), nullptr);
    EXPECT_EQ(networkOf(loaded).connections(), networkOf(original).connections());
    EXPECT_EQ(loaded.flags(), flags) << "settings and the access node's check boxes";

    PixelFilter copy;
    ASSERT_EQ(copy.instance().copyFrom(original.instance()), nullptr);
    EXPECT_EQ(networkOf(copy).connections(), networkOf(original).connections());
    EXPECT_EQ(editorOf(copy).rootPanel()->get(0x8001), 1);
    EXPECT_EQ(editorOf(copy).rootPanel()->get(0x8002), 0);
}

TEST_F(HostNetwork, RootPanelThroughTheEditorBeforeAndAfterTheInterfaceOpens) {
    host.withhold(SERVICE_PANELS);
    PixelFilter filter;
    host.restore(SERVICE_PANELS);
    EXPECT_EQ(editorOf(filter).rootPanel(), nullptr);

    InterfaceRecord record{};
    ASSERT_EQ(filter.openInterface(record), ACTIVATE_OK);
    EXPECT_EQ(editorOf(filter).openCount(), 1u);
    minihost::Panel* panel = editorOf(filter).rootPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->label(), "PixelFilter");
    EXPECT_EQ(panel->set(0x8002, 1), 1);
    EXPECT_EQ(filter.flags(), 0xE0000000u);
    EXPECT_EQ(editorOf(filter).rootPanel(), panel);
}

} // namespace
