// The pixel access node through minihost: activation, outputs, the flags
// gather, when evaluate serves values, saved state, panel, get and set.
#include "pixel_fixture.h"

#include <minihost/instance_updates.h>
#include <minihost/streams.h>

namespace pixeltest {
namespace {

using minihost::Block;
using Call = fakes::Sample::Call;

constexpr uint32_t kFLAG = blockIdOf('F', 'L', 'A', 'G');

class AccessNodeTest : public PixelTest {
  protected:
    std::unique_ptr<AccessNode> makeNode(const std::string& name = "Access") {
        return std::make_unique<AccessNode>(nodeHandler(), graph.makeNode(name));
    }
    void handOver(const PixelAccess* record) {
        AccessMessage message{record, nullptr};
        host.ring().message(RING_TOPIC_PIXEL, RING_SAMPLE_ACCESS, &message);
    }
    uint32_t gather(uint32_t start = 0) {
        FlagQuery query{0, start};
        host.ring().message(RING_TOPIC_PIXEL, RING_GATHER_FLAGS, &query);
        return query.flags;
    }
    // Evaluates one output; returns the three doubles, or nothing when the
    // node set no value.
    std::optional<std::vector<double>> evaluate(AccessNode& node, fakes::Output& output) {
        const int before = graph.setValueCalls;
        NodalSample s{};
        double out[3] = {-7, -7, -7};
        fakes::NodeGraph::evaluateOutput(node.member(), output, s, out);
        if (graph.setValueCalls == before)
            return std::nullopt;
        return std::vector<double>(out, out + 3);
    }
    std::vector<int32_t> savedWords(AccessNode& node) {
        minihost::SaveStream out;
        EXPECT_EQ(node.instance.save(out.state()), nullptr);
        if (out.root().children.size() != 1)
            return {};
        return out.root().children[0].ints;
    }
};

std::vector<int32_t> words(std::initializer_list<std::pair<int, int32_t>> on) {
    std::vector<int32_t> w(CHANNEL_COUNT, 0);
    w[0] = w[1] = 1;
    for (auto [row, value] : on)
        w[static_cast<std::size_t>(row)] = value;
    return w;
}

TEST_F(AccessNodeTest, HandlerActivationDemandsVersionOneAndItsFiveServices) {
    auto describe = [](Instance) -> const char* { return "host's own"; };
    int hostWord = 0;
    InstanceFuncs inst{};
    inst.describe = describe;
    RenderFuncs rend{};
    NodeHandler handler{&inst, &hostWord, &rend, nullptr};
    EXPECT_EQ(host.module().activate(CLASS_NODE_HANDLER, SERVER_PIXEL_NODE, 2,
                                     &minihost::Host::lookup, &handler),
              ACTIVATE_BAD_VERSION);
    EXPECT_EQ(inst.create, nullptr);

    ASSERT_EQ(host.module().activate(CLASS_NODE_HANDLER, SERVER_PIXEL_NODE, 1,
                                     &minihost::Host::lookup, &handler),
              ACTIVATE_OK);
    EXPECT_EQ(inst.priv, reinterpret_cast<void*>(&minihost::Host::lookup));
    EXPECT_TRUE(inst.create && inst.destroy && inst.copy && inst.load && inst.save);
    EXPECT_STREQ(inst.describe(nullptr), "host's own");
    EXPECT_EQ(handler.hostWord, &hostWord);
    EXPECT_TRUE(rend.init && rend.cleanup && rend.newTime && handler.evaluate);

    for (const char* service : {SERVICE_NODE_INPUT, SERVICE_INSTANCE_UPDATE}) {
        SCOPED_TRACE(service);
        host.withhold(service);
        InstanceFuncs untouched{};
        NodeHandler refused{&untouched, nullptr, nullptr, nullptr};
        EXPECT_EQ(host.module().activate(CLASS_NODE_HANDLER, SERVER_PIXEL_NODE, 1,
                                         &minihost::Host::lookup, &refused),
                  ACTIVATE_MISSING_SERVICE);
        EXPECT_EQ(untouched.create, nullptr);
        EXPECT_EQ(refused.evaluate, nullptr);
        host.restore(service);
    }
}

TEST_F(AccessNodeTest, InterfaceHandsBackThePanelOrReportsAMissingService) {
    auto node = makeNode("Pixel Access (2)");
    int junk = 0;
    InterfaceRecord record{node->instance.get(), nullptr, &junk, &junk};
    ASSERT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_PIXEL_NODE, record), ACTIVATE_OK);
    minihost::Panel* panel = host.panels().find(record.panel);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(record.options, nullptr);
    EXPECT_EQ(record.command, nullptr);
    EXPECT_EQ(panel->label(), "Pixel Access (2)");
    ASSERT_EQ(panel->controls().size(), 15u);
    for (int i = 0; i < 15; ++i) {
        const auto& control = panel->controls()[static_cast<std::size_t>(i)];
        EXPECT_EQ(control.id, 0x8001u + static_cast<uint32_t>(i));
        EXPECT_EQ(control.label, bufferChannels[i + 2].name);
        EXPECT_EQ(control.valueName, bufferChannels[i + 2].name);
    }

    host.withhold(SERVICE_PANELS);
    EXPECT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_PIXEL_NODE, record),
              ACTIVATE_MISSING_SERVICE);
}

TEST_F(AccessNodeTest, PanelIsBuiltOnceAnnouncedAtEachHandOutAndRetriedAfterFailure) {
    auto node = makeNode();
    Instance inst = node->instance.get();
    host.panels().failNextCreate();
    InterfaceRecord record{inst, nullptr, nullptr, nullptr};
    EXPECT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_PIXEL_NODE, record), ACTIVATE_OK);
    EXPECT_EQ(record.panel, nullptr);
    EXPECT_EQ(host.updates().count(CLASS_NODE_HANDLER, inst), 0u);

    minihost::Panel& first = node->panel();
    minihost::Panel& second = node->panel();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(host.panels().created(), 1u);
    EXPECT_EQ(host.updates().count(CLASS_NODE_HANDLER, inst), 2u);

    // A change through the panel asks the host to refresh it, nothing more.
    EXPECT_EQ(first.set(0x8006, 1), 1);
    EXPECT_EQ(first.refreshCount(), 1u);
    EXPECT_EQ(host.updates().count(CLASS_NODE_HANDLER, inst), 2u);
}

TEST_F(AccessNodeTest, ActivationsWithoutARecordLeaveEarlierServicesInPlace) {
    minihost::PixelFilter filter;
    auto node = placeAccessNode(filter);
    node->panel();
    auto nothing = [](const char*, int) -> void* { return nullptr; };
    for (const char* cls : {CLASS_PIXEL_FILTER_HANDLER, CLASS_PIXEL_FILTER_INTERFACE}) {
        EXPECT_EQ(host.module().activate(cls, SERVER_PIXEL_FILTER, 4, nothing, nullptr),
                  ACTIVATE_NO_RECORD);
    }
    for (const char* cls : {CLASS_NODE_HANDLER, CLASS_NODE_INTERFACE}) {
        EXPECT_EQ(host.module().activate(cls, SERVER_PIXEL_NODE, 1, nothing, nullptr),
                  ACTIVATE_NO_RECORD);
    }
    node->check(0x8006, 1);
    EXPECT_EQ(filter.flags(), 0xA00001C0u);
    EXPECT_NE(requestRootPanel(filter), nullptr);
    filter.init(1);
    filter.evaluate(sample.record);
    EXPECT_EQ(sample.calls.size(), 4u);
}

TEST_F(AccessNodeTest, ANewNodeHasSeventeenOutputsWithOnlyColourAndAlphaOn) {
    auto node = makeNode();
    EXPECT_EQ(node->node.mode, 2);
    ASSERT_EQ(node->node.outputs.size(), static_cast<std::size_t>(CHANNEL_COUNT));
    int row = 0;
    for (const fakes::Output& o : node->node.outputs) {
        EXPECT_EQ(o.name, bufferChannels[row].name);
        EXPECT_EQ(o.type, bufferChannels[row].valueType);
        ++row;
    }
    EXPECT_EQ(savedWords(*node), words({}));
    EXPECT_EQ(gather(), 0u);

    node->check(0x800F, 1);
    EXPECT_EQ(node->node.outputs.size(), static_cast<std::size_t>(CHANNEL_COUNT));
}

TEST_F(AccessNodeTest, GatherAddsTheNeedsOfCheckedChannelsToWhatIsThere) {
    auto node = makeNode();
    node->check(0x8006, 1); // Raw Color
    EXPECT_EQ(gather(), 0x1C0u);
    EXPECT_EQ(gather(0x80000001u), 0x800001C1u);
    for (uint32_t id = 0x8001; id <= 0x800F; ++id)
        node->check(id, 1);
    EXPECT_EQ(gather(), 0x000FFFFEu);

    // Two nodes of any networks answer together; other events change nothing.
    auto other = makeNode("Other");
    other->check(0x8001, 1);
    node->check(0x8001, 0);
    EXPECT_EQ(gather(), 0x000FFFFEu);
    FlagQuery query{0, 0};
    host.ring().message(RING_TOPIC_PIXEL, 7, &query);
    EXPECT_EQ(query.flags, 0u);
}

TEST_F(AccessNodeTest, EvaluateServesOnlyBetweenANonZeroInitAndCleanup) {
    auto node = makeNode();
    const NodeHandler& h = nodeHandler();
    Instance inst = node->instance.get();
    fakes::Output& alpha = node->output("Alpha");
    fakes::Output& raw = node->output("Raw Color");
    sample.values[35] = 0.75f;
    sample.values[6] = 0.5f;
    sample.values[7] = 0.25f;
    sample.values[8] = 0.125f;

    EXPECT_EQ(evaluate(*node, alpha), std::nullopt) << "no init, no sample";
    handOver(&sample.record);
    EXPECT_EQ(evaluate(*node, alpha), std::nullopt) << "init mode 0";
    EXPECT_EQ(h.rend->init(inst, 1), nullptr);
    EXPECT_EQ(h.rend->newTime(inst, 1, 0.0), nullptr);
    EXPECT_EQ(evaluate(*node, alpha)->at(0), 0.75);
    EXPECT_EQ(evaluate(*node, raw), (std::vector<double>{0.5, 0.25, 0.125}));
    EXPECT_EQ(sample.calls, (std::vector<Call>{{'g', 35, 1}, {'g', 6, 3}}));

    // An output of another node gives zeros without reading the sample.
    fakes::Node& stranger = graph.makeNode("Stranger");
    fakes::Output& foreign = stranger.outputs.emplace_back(fakes::Output{&stranger, 1, "Color"});
    EXPECT_EQ(evaluate(*node, foreign), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(sample.calls.size(), 2u);

    // Event 2 belongs to the image topic's protocol: the node ignores it.
    AccessMessage wrong{nullptr, nullptr};
    host.ring().message(RING_TOPIC_PIXEL, 2, &wrong);
    EXPECT_EQ(evaluate(*node, alpha)->at(0), 0.75);

    h.rend->cleanup(inst);
    EXPECT_EQ(evaluate(*node, alpha), std::nullopt) << "cleanup forgets the sample";
    handOver(&sample.record);
    EXPECT_EQ(evaluate(*node, alpha)->at(0), 0.75) << "cleanup keeps the init mode";
    h.rend->init(inst, 0);
    EXPECT_EQ(evaluate(*node, alpha), std::nullopt);

    // A hand-over of no record leaves nothing to read.
    h.rend->init(inst, 1);
    handOver(nullptr);
    EXPECT_EQ(evaluate(*node, alpha), std::nullopt);
}

TEST_F(AccessNodeTest, AFailedOutputCreateLeavesAGapThatNothingEvaluates) {
    graph.failOutput = "Mirror";
    auto node = makeNode();
    EXPECT_EQ(node->node.outputs.size(), static_cast<std::size_t>(CHANNEL_COUNT - 1));
    Instance inst = node->instance.get();
    nodeHandler().rend->init(inst, 1);
    handOver(&sample.record);
    double slot[3] = {-1, -1, -1};
    NodalSample s{};
    nodeHandler().evaluate(inst, &s, nullptr, reinterpret_cast<NodeValue>(slot));
    EXPECT_EQ(std::vector<double>(slot, slot + 3), (std::vector<double>{0, 0, 0}));
    EXPECT_TRUE(sample.calls.empty());
}

TEST_F(AccessNodeTest, SaveWritesSeventeenWordsAndLoadKeepsColourAndAlphaOn) {
    auto node = makeNode();
    node->check(0x800F, 1);
    minihost::SaveStream out;
    EXPECT_EQ(node->instance.save(out.state()), nullptr);
    ASSERT_EQ(out.root().children.size(), 1u);
    const Block& flag = out.root().children[0];
    EXPECT_EQ(flag.id, kFLAG);
    EXPECT_EQ(flag.name, "Flags");
    EXPECT_TRUE(flag.leaf);
    EXPECT_EQ(flag.ints, words({{16, 1}}));

    auto loaded = makeNode("Loaded");
    std::vector<int32_t> stored(CHANNEL_COUNT, 0);
    stored[4] = 1; // Specular
    Block root;
    root.children = {{blockIdOf('O', 'T', 'H', 'R'), "Other", true, {9}, {}},
                     {kFLAG, "Flags", true, stored, {}}};
    minihost::LoadStream in(root);
    EXPECT_EQ(loaded->instance.load(in.state()), nullptr);
    EXPECT_EQ(savedWords(*loaded), words({{4, 1}}));

    Block none;
    minihost::LoadStream empty(none);
    EXPECT_EQ(loaded->instance.load(empty.state()), nullptr);
    EXPECT_EQ(savedWords(*loaded), words({{4, 1}}));

    EXPECT_EQ(loaded->instance.copyFrom(node->instance), nullptr);
    EXPECT_EQ(savedWords(*loaded), words({{4, 1}})) << "copy carries nothing";
}

TEST_F(AccessNodeTest, GetAndSetReachOnlyTheFifteenCheckBoxes) {
    auto node = makeNode();
    node->panel(); // describes get and set to the spy
    Instance inst = node->instance.get();
    int32_t one = 1;
    EXPECT_EQ(panels.set(inst, 0x800F, &one), 1);
    EXPECT_EQ(*static_cast<int32_t*>(panels.get(inst, 0x800F)), 1);
    EXPECT_EQ(panels.set(inst, 0x8001, &one), 1);
    EXPECT_EQ(gather(), 0xE0002u);
    EXPECT_EQ(panels.get(inst, 0x8001), panels.get(inst, 0x8001));
    EXPECT_NE(panels.get(inst, 0x8001), panels.get(inst, 0x8002));

    const auto before = savedWords(*node);
    for (uint32_t id : {0u, 0x8000u, 0x8010u, 0xFFFFFFFFu}) {
        EXPECT_EQ(panels.get(inst, id), nullptr) << id;
        EXPECT_EQ(panels.set(inst, id, &one), 0) << id;
    }
    EXPECT_EQ(panels.set(inst, 0x8002, nullptr), 0);
    EXPECT_EQ(panels.get(nullptr, 0x8001), nullptr);
    EXPECT_EQ(panels.set(nullptr, 0x8001, &one), 0);
    EXPECT_EQ(savedWords(*node), before);
}

TEST_F(AccessNodeTest, ADestroyedNodeReceivesNoMoreMessages) {
    auto node = makeNode();
    for (uint32_t id = 0x8001; id <= 0x800F; ++id)
        node->check(id, 1);
    ASSERT_EQ(host.panels().live(), 1u);
    node.reset();
    EXPECT_EQ(host.ring().attachments(RING_TOPIC_PIXEL), 0u);
    EXPECT_EQ(host.panels().live(), 0u);
    EXPECT_EQ(gather(), 0u);
    handOver(&sample.record);
}

TEST_F(AccessNodeTest, NodeCallbacksTolerateNullInstancesAndPayloads) {
    const NodeHandler& h = nodeHandler();
    minihost::SaveStream out;
    Block empty;
    minihost::LoadStream in(empty);
    h.inst->destroy(nullptr);
    EXPECT_EQ(h.inst->copy(nullptr, nullptr), nullptr);
    EXPECT_EQ(h.inst->load(nullptr, &in.state()), nullptr);
    EXPECT_EQ(h.inst->save(nullptr, &out.state()), nullptr);
    EXPECT_EQ(h.rend->init(nullptr, 1), nullptr);
    EXPECT_EQ(h.rend->newTime(nullptr, 1, 0.0), nullptr);
    h.rend->cleanup(nullptr);
    h.evaluate(nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(out.root().children.empty());

    auto node = makeNode();
    host.ring().message(RING_TOPIC_PIXEL, RING_GATHER_FLAGS, nullptr);
    host.ring().message(RING_TOPIC_PIXEL, RING_SAMPLE_ACCESS, nullptr);
    EXPECT_EQ(h.inst->load(node->instance.get(), nullptr), nullptr);
    EXPECT_EQ(h.inst->save(node->instance.get(), nullptr), nullptr);
    InterfaceRecord record{};
    EXPECT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_PIXEL_NODE, record), ACTIVATE_OK);
    EXPECT_EQ(record.panel, nullptr);
    EXPECT_EQ(graph.setValueCalls, 0);
}

} // namespace
} // namespace pixeltest
