// Thousands of filters and access nodes created and destroyed, in changing
// orders, with ring traffic in between: nothing leaks, and a destroyed
// instance is never reached by a ring message (its record is freed, so a
// delivery would be a use after free that the sanitizer and valgrind runs
// report; the attachment counts say the same without them).
#include "stress.h"

#include <minihost/filters.h>
#include <minihost/nodes/network.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/scenefile/scene_document.h>
#include <shared/servernames.h>

#include <memory>
#include <optional>

namespace {

using namespace minihost;

class InstanceCycles : public stress::Lifecycle {};

TEST_F(InstanceCycles, EveryServerComesAndGoesWithRingTrafficBetween) {
    const int32_t one = 1;
    for (int i = 0, n = stress::cycles(2000); i < n; ++i) {
        std::optional<ImageFilter> image(std::in_place, i % 2 ? &one : nullptr);
        std::optional<PixelFilter> pixel(std::in_place);
        Network& imageNet = networkOf(image->get());
        Network& pixelNet = networkOf(pixel->get());
        ModuleNode& imageAccess = imageNet.addModule(SERVER_IMAGE_NODE, "access");
        pixelNet.addModule(SERVER_PIXEL_NODE, "access");
        imageAccess.panel()->set(0x800C, 1); // asks for a buffer on every gather
        ASSERT_EQ(attachments(), 4u);
        ASSERT_NE(ringTraffic(), 0u);

        // Tear down in a different order each cycle, messaging between steps.
        switch (i % 3) {
        case 0:
            image.reset();
            ringTraffic();
            pixel.reset();
            break;
        case 1:
            pixelNet.remove("access");
            imageNet.remove("access");
            ringTraffic();
            pixel.reset();
            image.reset();
            break;
        default:
            pixel.reset();
            ringTraffic();
            imageNet.remove("access");
            ringTraffic();
            image.reset();
        }
        ASSERT_EQ(attachments(), 0u) << "cycle " << i;
        ASSERT_EQ(ringTraffic(), 0u);
    }
    EXPECT_EQ(host.nodeEditors().live(), 0u);
    EXPECT_EQ(host.panels().live(), 0u);
}

// A host listener ahead of the access node removes that node while a flags
// gather is being delivered: the node, detached and freed by then, must not
// get the message, so it adds no flags.
TEST_F(InstanceCycles, AnInstanceDestroyedDuringADeliveryGetsNoMoreOfIt) {
    struct Remover {
        Network* network = nullptr;
        int calls = 0;
        static int32_t event(void* data, void*, int32_t code, void*) {
            auto* self = static_cast<Remover*>(data);
            ++self->calls;
            if (code == RING_GATHER_FLAGS && self->network && self->network->find("access"))
                self->network->remove("access");
            return 0;
        }
    } remover;
    host.ring().attach(RING_TOPIC_PIXEL, &remover, Remover::event);
    for (int i = 0, n = stress::cycles(2000); i < n; ++i) {
        PixelFilter filter;
        remover.network = &networkOf(filter.get());
        ModuleNode& access = remover.network->addModule(SERVER_PIXEL_NODE, "access");
        access.panel()->set(0x8003, 1);
        FlagQuery query{0, 0};
        host.ring().message(RING_TOPIC_PIXEL, RING_GATHER_FLAGS, &query);
        ASSERT_EQ(query.flags, 0u) << "the removed node answered, cycle " << i;
        ASSERT_EQ(host.ring().attachments(RING_TOPIC_PIXEL), 2u); // remover and filter
        remover.network = nullptr;
    }
    host.ring().detach(RING_TOPIC_PIXEL, &remover);
    EXPECT_EQ(attachments(), 0u);
    EXPECT_EQ(remover.calls, stress::cycles(2000));
}

// Panels of filters and access nodes built, driven and destroyed with their
// owners; the host's live panel count comes back to nothing every time.
TEST_F(InstanceCycles, PanelsAreBuiltAndDestroyedWithTheirOwners) {
    for (int i = 0, n = stress::cycles(2000); i < n; ++i) {
        {
            PixelFilter filter;
            NodeEditor* editor = host.nodeEditors().findByUserData(filter.get());
            ASSERT_NE(editor, nullptr);
            Panel* root = editor->rootPanel();
            ASSERT_NE(root, nullptr);
            EXPECT_EQ(editor->rootPanel(), root); // built once
            root->set(0x8001, i % 2);
            root->set(0x8002, 1);
            EXPECT_EQ(root->get(0x8001), i % 2);
            ModuleNode& access = networkOf(filter.get()).addModule(SERVER_PIXEL_NODE);
            Panel* panel = access.panel();
            ASSERT_NE(panel, nullptr);
            panel->set(0x8001 + static_cast<uint32_t>(i % 15), 1);
            EXPECT_EQ(host.panels().live(), 2u);
            if (i % 2)
                networkOf(filter.get()).remove(access.name());
        }
        {
            ImageFilter filter;
            ModuleNode& access = networkOf(filter.get()).addModule(SERVER_IMAGE_NODE);
            Panel* panel = access.panel();
            ASSERT_NE(panel, nullptr);
            panel->set(0x8001 + static_cast<uint32_t>(i % 15), 1);
            EXPECT_EQ(panel->get(0x8001 + static_cast<uint32_t>(i % 15)), 1);
        }
        ASSERT_EQ(host.panels().live(), 0u) << "cycle " << i;
    }
}

// A failed panel create (a host out of resources) leaves no panel and no
// half-built state; the next request builds one.
TEST_F(InstanceCycles, AFailedPanelCreateIsRetriedCleanly) {
    for (int i = 0, n = stress::cycles(500); i < n; ++i) {
        PixelFilter filter;
        NodeEditor* editor = host.nodeEditors().findByUserData(filter.get());
        host.panels().failNextCreate();
        EXPECT_EQ(editor->rootPanel(), nullptr);
        EXPECT_EQ(host.panels().live(), 0u);
        EXPECT_NE(editor->rootPanel(), nullptr);
    }
    EXPECT_EQ(host.panels().live(), 0u);
}

// Example scenes loaded and dropped over and over: every filter, network and
// panel they build goes with them.
TEST_F(InstanceCycles, ScenesLoadAndUnloadWithoutResidue) {
    const auto folder = std::filesystem::path(TAVI_SOURCE_DIR) / "examples";
    std::vector<std::filesystem::path> scenes;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        scenes.push_back(entry.path());
    ASSERT_FALSE(scenes.empty());
    for (int i = 0, n = stress::cycles(300); i < n; ++i) {
        {
            const SceneDocument scene =
                loadScene(scenes[static_cast<std::size_t>(i) % scenes.size()]);
            ringTraffic();
        }
        ASSERT_EQ(attachments(), 0u);
        ASSERT_EQ(host.nodeEditors().live(), 0u);
        ASSERT_EQ(host.panels().live(), 0u);
    }
}

} // namespace
