// Saving, loading and copying networks through the node-editor services:
// round trips with module blocks nested per node, all-or-nothing loads, and
// copies that carry module settings.
#include "network_test_support.h"

#include <minihost/nodes/network_codec.h>
#include <minihost/nodes/network_io.h>

#include <gmock/gmock.h>

#include <functional>

namespace {

using namespace nodes_test;
using minihost::Block;
using minihost::RampKey;
using ::testing::ElementsAre;

constexpr uint32_t id(const char (&text)[5]) {
    return blockIdOf(text[0], text[1], text[2], text[3]);
}

// Depth-first search for the first block with this ID whose content passes
// the test.
Block* findBlock(
    Block& root, uint32_t blockId,
    const std::function<bool(const Block&)>& test = [](const Block&) { return true; }) {
    for (Block& child : root.children) {
        if (child.id == blockId && test(child))
            return &child;
        if (Block* found = findBlock(child, blockId, test))
            return found;
    }
    return nullptr;
}

bool headerNames(const Block& head, const std::string& name) {
    minihost::IntReader reader(head.ints);
    reader.integer();
    return reader.text() == name;
}

class Persistence : public ModuleNetworkTest {
  protected:
    // scale (gain 7) <- tint; ramp <- scale.Scalar; Root.Color <- ramp,
    // Root.Alpha <- scale.Scalar; custom defaults everywhere.
    void buildSample(minihost::Network& n) {
        n.addBuiltin("color", "tint");
        n.setDefault("tint", "Color", {0.5, 0.25, 1});
        n.addModule(TEST_SCALE_NODE, "scale");
        static_cast<ScaleNodeInstance*>(n.getModule("scale").instance())->gain = 7;
        n.setDefault("scale", "Factor", {0.1, 0, 0});
        n.connect("tint", "Color", "scale", "In");
        n.addBuiltin("ramp", "ramp");
        n.setRampKeys("ramp", {{0, {0, 0, 0}}, {0.5, {1, 0, 0}}, {2, {0, 0, 1}}});
        n.connect("scale", "Scalar", "ramp", "Position");
        n.connect("ramp", "Color", "Root", "Color");
        n.connect("scale", "Scalar", "Root", "Alpha");
        n.setDefault("Root", "Alpha", {0.75, 0, 0});
    }

    minihost::NodeEditor& newEditor() {
        auto& e = host.nodeEditors().create("Loaded", "", nullptr, nullptr);
        e.addRootInput(ValueType::Color, "Color");
        e.addRootInput(ValueType::Scalar, "Alpha");
        return e;
    }

    // Every value a network answers at its root, with its structure.
    struct Snapshot {
        std::vector<minihost::Connection> links;
        std::vector<std::string> nodes;
        Value color, alpha;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot(const minihost::Network& n) {
        Snapshot s{n.connections(),
                   {},
                   n.evaluate("Root", "Color", sample),
                   n.evaluate("Root", "Alpha", sample)};
        for (const auto& info : n.describe())
            s.nodes.push_back(info.name + ":" + info.type);
        return s;
    }
};

TEST_F(Persistence, SaveAndLoadRoundTripTheWholeNetwork) {
    buildSample(net);
    const Block saved = saveThroughService(editor);

    auto& loaded = newEditor();
    EXPECT_EQ(loadThroughService(loaded, saved), nullptr) << loaded.lastError();
    EXPECT_EQ(snapshot(loaded.network()), snapshot(net));
    EXPECT_EQ(static_cast<ScaleNodeInstance*>(loaded.network().getModule("scale").instance())->gain,
              7);
    EXPECT_THAT(loaded.network().getBuiltin("ramp").rampKeys(),
                ElementsAre(RampKey{0, {0, 0, 0}}, RampKey{0.5, {1, 0, 0}}, RampKey{2, {0, 0, 1}}));
    EXPECT_EQ(loaded.network().root().input("Alpha")->defaultValue()[0], 0.75);
    // The module node's own block sits inside the node's data block.
    Block copy = saved;
    Block* node = findBlock(copy, id("NODE"), [](const Block& b) {
        return !b.children.empty() && headerNames(b.children[0], "scale");
    });
    ASSERT_NE(node, nullptr);
    Block* data = findBlock(*node, id("DATA"));
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->children.size(), 1u);
    EXPECT_EQ(data->children[0].id, id("SETT"));
    EXPECT_THAT(data->children[0].ints, ElementsAre(7));
    // A display event belongs to edits, not to loads.
    EXPECT_EQ(loaded.displayEvents(), 0u);
}

TEST_F(Persistence, LoadReplacesTheNodesAndKeepsTheRoot) {
    auto& loaded = newEditor();
    loaded.network().addModule(TEST_SCALE_NODE, "old");
    loaded.network().connect("old", "Out", "Root", "Color");
    const NodeID root = loaded.network().root().handle();
    const NodeInputID color = loaded.network().root().input("Color")->handle();

    buildSample(net);
    ASSERT_EQ(loadThroughService(loaded, saveThroughService(editor)), nullptr);
    EXPECT_EQ(loaded.network().find("old"), nullptr);
    EXPECT_EQ(liveScaleNodes(), 2u); // the old instance is gone, the new one exists
    EXPECT_EQ(loaded.network().root().handle(), root);
    EXPECT_EQ(loaded.network().root().input("Color")->handle(), color);
    EXPECT_EQ(inputFuncs().connected(color), 1);
}

TEST_F(Persistence, MalformedDataIsRefusedAndLeavesTheNetworkAsItWas) {
    buildSample(net);
    const Block good = saveThroughService(editor);
    const Snapshot before = snapshot(net);
    ScaleNodeInstance* instanceBefore = &scale("scale");

    struct Damage {
        const char* what;
        std::function<void(Block&)> apply;
        const char* text;
    };
    using minihost::kNetworkMalformed;
    using minihost::kNetworkNodeCreate;
    const Damage damages[] = {
        {"no network block", [](Block& r) { r.children[0].children.clear(); }, kNetworkMalformed},
        {"a future format version", [](Block& r) { findBlock(r, id("VERS"))->ints = {2}; },
         kNetworkMalformed},
        {"no version", [](Block& r) { findBlock(r, id("VERS"))->id = id("XXXX"); },
         kNetworkMalformed},
        {"a text longer than its block", [](Block& r) { findBlock(r, id("HEAD"))->ints.resize(3); },
         kNetworkMalformed},
        {"a negative text length", [](Block& r) { findBlock(r, id("HEAD"))->ints[1] = -5; },
         kNetworkMalformed},
        {"a node without header", [](Block& r) { findBlock(r, id("HEAD"))->id = id("XXXX"); },
         kNetworkMalformed},
        {"an unknown built-in type",
         [](Block& r) {
             Block* head = findBlock(r, id("HEAD")); // the node "tint"
             head->ints.assign({0});
             minihost::appendText(head->ints, "tint");
             minihost::appendText(head->ints, "warp");
         },
         kNetworkNodeCreate},
        {"a connection to an unknown port",
         [](Block& r) {
             Block* link = findBlock(r, id("LINK"));
             link->ints.clear();
             for (const char* t : {"tint", "Color", "scale", "Nope"})
                 minihost::appendText(link->ints, t);
         },
         kNetworkMalformed},
        {"connections that make a cycle",
         [](Block& r) {
             Block* link = findBlock(r, id("LINK"));
             link->ints.clear();
             for (const char* t : {"ramp", "Color", "scale", "In"})
                 minihost::appendText(link->ints, t);
             Block* tint = findBlock(r, id("LINK"), [](const Block& b) {
                 minihost::IntReader reader(b.ints);
                 return reader.text() == "tint";
             });
             if (tint)
                 tint->id = id("XXXX");
         },
         kNetworkMalformed},
        {"two nodes of one name",
         [](Block& r) {
             Block* netw = findBlock(r, id("NETW"));
             netw->children.push_back(*findBlock(r, id("NODE")));
         },
         kNetworkMalformed},
        {"defaults for an unknown input",
         [](Block& r) {
             Block* defs = findBlock(r, id("DEFS"), [](const Block& b) { return b.ints[0] == 1; });
             defs->ints.clear();
             defs->ints.push_back(1);
             minihost::appendText(defs->ints, "Nope");
             for (int i = 0; i < 6; ++i)
                 defs->ints.push_back(0);
         },
         kNetworkMalformed},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        Block bad = good;
        damage.apply(bad);
        EXPECT_STREQ(loadThroughService(editor, bad), damage.text) << editor.lastError();
        EXPECT_FALSE(editor.lastError().empty());
        EXPECT_EQ(snapshot(net), before);
        EXPECT_EQ(&scale("scale"), instanceBefore);
        EXPECT_EQ(liveScaleNodes(), 1u); // staged module nodes were released
    }
    // The same data undamaged still loads.
    EXPECT_EQ(loadThroughService(editor, good), nullptr) << editor.lastError();
    EXPECT_EQ(snapshot(net), before);
}

TEST_F(Persistence, CopyDuplicatesTheNetworkWithModuleSettings) {
    buildSample(net);
    auto& destination = newEditor();
    destination.network().addBuiltin("add", "leftover");
    EXPECT_EQ(editorFuncs().copy(destination.handle(), editor.handle()), 1);
    EXPECT_EQ(snapshot(destination.network()), snapshot(net));
    // The module's copy callback copies nothing; the settings came anyway.
    auto* copied =
        static_cast<ScaleNodeInstance*>(destination.network().getModule("scale").instance());
    EXPECT_EQ(copied->gain, 7);
    EXPECT_NE(copied, &scale("scale"));
    EXPECT_EQ(destination.network().find("leftover"), nullptr);
    // The source is untouched and independent of the copy.
    copied->gain = 1;
    EXPECT_EQ(scale("scale").gain, 7);

    // Copying a network onto itself leaves it as it was.
    const Snapshot before = snapshot(net);
    EXPECT_EQ(editorFuncs().copy(editor.handle(), editor.handle()), 1);
    EXPECT_EQ(snapshot(net), before);
    EXPECT_EQ(editorFuncs().copy(nullptr, editor.handle()), 0);
}

TEST_F(Persistence, ServicesAnswerUnknownEditorsWithAFailure) {
    minihost::SaveStream save;
    minihost::LoadStream load(save.root());
    EXPECT_NE(editorFuncs().save(nullptr, &save.state()), nullptr);
    EXPECT_NE(editorFuncs().load(nullptr, &load.state()), nullptr);
    EXPECT_NE(editorFuncs().save(editor.handle(), nullptr), nullptr);
}

} // namespace
