// Networks copied, saved and loaded thousands of times between filters that
// come and go; refused loads in between leave the target as it was.
#include "stress.h"

#include <minihost/filters.h>
#include <minihost/nodes/network.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/panels.h>
#include <minihost/scenefile/scene_document.h>
#include <minihost/streams.h>
#include <shared/servernames.h>

#include <deque>

namespace {

using namespace minihost;

Block saved(const ServerInstance& instance) {
    SaveStream save;
    EXPECT_EQ(instance.save(save.state()), nullptr);
    EXPECT_TRUE(save.balanced());
    return save.root();
}

// access.Color x (0.5, 0.5, 0.5) -> Root.Color, with a buffer toggled on.
void buildNetwork(const ImageFilter& filter) {
    Network& net = networkOf(filter.get());
    net.addModule(SERVER_IMAGE_NODE, "access").panel()->set(0x8005, 1);
    net.addBuiltin("color_multiply", "half");
    net.setDefault("half", "B", {0.5, 0.5, 0.5});
    net.connect("access", "Color", "half", "A");
    net.connect("half", "Result", "Root", "Color");
}

// The last blocks at every level of a tree cut away, as a truncated file
// would leave them.
Block truncated(Block tree, int depth) {
    Block* level = &tree;
    for (int d = 0; d < depth && !level->children.empty(); ++d) {
        level->children.pop_back();
        if (level->children.empty())
            break;
        level = &level->children.back();
    }
    level->ints.resize(level->ints.size() / 2);
    return tree;
}

class NetworkCycles : public stress::Lifecycle {};

TEST_F(NetworkCycles, CopiesAndReloadsKeepTheNetworkAndLeaveNothingBehind) {
    ImageFilter original;
    buildNetwork(original);
    const Block reference = saved(original.instance());

    // A rolling window of filters: each cycle copies from, saves and loads
    // through ones made earlier and drops the oldest.
    // (A deque keeps its elements in place as it grows and shrinks at the ends.)
    std::deque<ImageFilter> filters;
    const ImageFilter* previousCopy = &original;
    for (int i = 0, n = stress::cycles(1500); i < n; ++i) {
        ImageFilter& copy = filters.emplace_back();
        ASSERT_EQ(copy.instance().copyFrom(previousCopy->instance()), nullptr);
        previousCopy = &copy;
        ASSERT_EQ(saved(copy.instance()), reference) << "copy " << i;

        ImageFilter& loaded = filters.emplace_back();
        const Block copied = saved(copy.instance());
        LoadStream load(copied);
        ASSERT_EQ(loaded.instance().load(load.state()), nullptr);
        ringTraffic();

        // A damaged stream is refused or read in part, never half-applied
        // to a network that then differs from both.
        const Block cut = truncated(reference, i % 5);
        LoadStream damaged(cut);
        const char* error = loaded.instance().load(damaged.state());
        if (error != nullptr) {
            ASSERT_EQ(saved(loaded.instance()), reference) << "cycle " << i;
        }

        while (filters.size() > 6)
            filters.pop_front();
    }
    filters.clear();
    EXPECT_EQ(host.nodeEditors().live(), 1u); // the original's
    EXPECT_EQ(host.ring().attachments(RING_TOPIC_IMAGE), 2u);
}

TEST_F(NetworkCycles, PixelFilterSettingsAndNetworkSurviveRepeatedRoundTrips) {
    PixelFilter original;
    Network& net = networkOf(original.get());
    net.addModule(SERVER_PIXEL_NODE, "access").panel()->set(0x8002, 1);
    net.connect("access", "Alpha", "Root", "Alpha");
    host.nodeEditors().findByUserData(original.get())->rootPanel()->set(0x8001, 0);
    const Block reference = saved(original.instance());

    Block current = reference;
    for (int i = 0, n = stress::cycles(1500); i < n; ++i) {
        PixelFilter next;
        LoadStream load(current);
        ASSERT_EQ(next.instance().load(load.state()), nullptr);
        current = saved(next.instance());
        ASSERT_EQ(current, reference) << "round trip " << i;
    }
    EXPECT_EQ(host.nodeEditors().live(), 1u);
}

} // namespace
