// The image access node: its outputs, the need flags it reports, the access
// record it keeps from the ring, where it reads (its own pixel or the one
// its inputs choose), its panel and its saved toggles.
#include "harness.h"

#include <minihost/instance_updates.h>
#include <minihost/panels.h>
#include <minihost/streams.h>

#include <cmath>
#include <limits>

namespace {

using harness::AccessNode;
using harness::Frame;
using harness::sampleAt;

constexpr uint32_t kFLAG = blockIdOf('F', 'L', 'A', 'G');

// Panel callbacks as the node described them, caught on the way to the host.
PanelGetFunc gGet = nullptr;
PanelSetFunc gSet = nullptr;
int32_t spyDescribe(PanelID panel, const PanelDataDesc* data, PanelGetFunc get,
                    PanelSetFunc set) noexcept {
    gGet = get;
    gSet = set;
    return minihost::Panels::table.describe(panel, data, get, set);
}
PanelFuncs makeSpyTable() {
    PanelFuncs t = minihost::Panels::table;
    t.describe = spyDescribe;
    return t;
}
PanelFuncs gSpyTable = makeSpyTable();

class AccessNodeTest : public harness::ModuleTest {
  protected:
    AccessNodeTest() { host.provide(SERVICE_PANELS, &gSpyTable); }

    // The node's panel, built through the interface as the host would.
    minihost::Panel& panelOf(const AccessNode& node) {
        InterfaceRecord record{node.get(), nullptr, nullptr, nullptr};
        EXPECT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE, record),
                  ACTIVATE_OK);
        minihost::Panel* panel = host.panels().find(record.panel);
        if (!panel)
            throw std::logic_error("no panel");
        return *panel;
    }
    static void connect(fake::Input& input, double value) {
        input.connected = true;
        input.value = [value](NodalSample&, double* out) { out[0] = value; };
    }
    std::vector<int32_t> savedFlags(const AccessNode& node) {
        minihost::SaveStream out;
        EXPECT_EQ(node.instance().save(out.state()), nullptr);
        EXPECT_EQ(out.root().children.size(), 1u);
        const minihost::Block& block = out.root().children.at(0);
        EXPECT_EQ(block.id, kFLAG);
        EXPECT_EQ(block.name, "Flags");
        EXPECT_TRUE(block.leaf);
        return block.ints;
    }
};

TEST_F(AccessNodeTest, CreateMakesTwoScalarInputsAndNineteenOutputsInTableOrder) {
    AccessNode node;
    EXPECT_EQ(graph.node(node.node()).mode, 2);
    EXPECT_EQ(node.inputX().type, VALUE_SCALAR);
    EXPECT_EQ(node.inputY().type, VALUE_SCALAR);
    std::vector<std::pair<std::string, int32_t>> outputs;
    for (const fake::Output& out : graph.outputs)
        if (out.node == node.node())
            outputs.emplace_back(out.name, out.type);
    std::vector<std::pair<std::string, int32_t>> expected = {{"Image X", 2}, {"Image Y", 2}};
    for (const BufferChannel& c : bufferChannels)
        expected.emplace_back(c.name, c.valueType);
    EXPECT_EQ(outputs, expected);
    EXPECT_TRUE(host.ring().isAttached(RING_TOPIC_IMAGE, node.get()));
    EXPECT_EQ(harness::gatherFlags(0x1u), 0x1u); // a new node asks for nothing
}

TEST_F(AccessNodeTest, GatherReportsTheUnionOfEveryNodesToggles) {
    AccessNode a("A"), b("B");
    panelOf(a).set(0x8006, 1); // Raw Color
    panelOf(b).set(0x800F, 7); // Reflection Color; any non-zero counts
    panelOf(b).set(0x800C, 1); // Depth
    EXPECT_EQ(harness::gatherFlags(), 0x1C0u | 0xE0000u | 0x1000u);
    EXPECT_EQ(harness::gatherFlags(0x80000001u), 0x80000001u | 0x1C0u | 0xE0000u | 0x1000u);
    minihost::ImageFilter filter;
    EXPECT_EQ(filter.flags(), 0x1C0u | 0xE0000u | 0x1000u);

    for (uint32_t id = 0x8001; id <= 0x800F; ++id)
        panelOf(a).set(id, 1);
    EXPECT_EQ(harness::gatherFlags(), 0xFFFFEu); // bits 1 to 19 and no other
    panelOf(a).set(0x8006, 0);
    EXPECT_EQ(harness::gatherFlags() & 0x1C0u, 0u);
}

TEST_F(AccessNodeTest, ADestroyedNodeNoLongerHearsTheRing) {
    auto node = std::make_unique<AccessNode>();
    panelOf(*node).set(0x8001, 1);
    EXPECT_EQ(harness::gatherFlags(), 0x2u);
    const std::size_t livePanels = host.panels().live();
    node.reset();
    EXPECT_EQ(host.panels().live(), livePanels - 1);
    EXPECT_EQ(harness::gatherFlags(), 0u);
    Frame frame(1, 1);
    harness::handOver(frame.access()); // reaches nobody, touches nothing
}

TEST_F(AccessNodeTest, EvaluateServesValuesOnlyBetweenHandOverAndCleanup) {
    AccessNode node;
    Frame frame(2, 2);
    frame.fill(12, [](int32_t x, int32_t y) { return 10.0f * x + y; });
    EXPECT_EQ(node.evaluate("Depth", sampleAt(1, 1)).sets, 0);
    harness::handOver(frame.access());
    node.newTime();
    fake::Value v = node.evaluate("Depth", sampleAt(1, 1));
    EXPECT_EQ(v.sets, 1);
    EXPECT_EQ(v.v[0], 11.0);
    node.cleanup();
    EXPECT_EQ(node.evaluate("Depth", sampleAt(1, 1)).sets, 0);
}

TEST_F(AccessNodeTest, UnconnectedInputsReadTheSamplesOwnPixel) {
    AccessNode node;
    Frame frame(640, 3);
    frame.fillFinalImage();
    harness::handOver(frame.access());
    node.newTime();
    EXPECT_EQ(node.evaluate("Image X", sampleAt(0, 2)).v[0], -1.0);
    EXPECT_EQ(node.evaluate("Image X", sampleAt(639, 2)).v[0], 0.996875);
    EXPECT_EQ(node.evaluate("Image Y", sampleAt(639, 2)).v[0], 2.0 * 2 / 3 - 1);
    const fake::Value color = node.evaluate("Color", sampleAt(5, 1));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(color.v[c], frame.buffer(BUFFER_RED + c, 5, 1));
    EXPECT_EQ(node.evaluate("Alpha", sampleAt(7, 2)).v[0], frame.buffer(BUFFER_ALPHA, 7, 2));
    EXPECT_EQ(node.inputX().evaluations + node.inputY().evaluations, 0);
}

// The column read when "Image X" is connected to a value, on a frame of that
// width whose Luminous buffer holds the column number.
class Remapping : public AccessNodeTest {
  protected:
    int32_t columnFor(double value, int32_t width) {
        Frame frame(width, 1);
        frame.fill(1, [](int32_t x, int32_t) { return float(x); });
        harness::handOver(frame.access());
        node.newTime();
        connect(node.inputX(), value);
        return int32_t(node.evaluate("Luminous", sampleAt(0, 0)).v[0]);
    }
    AccessNode node;
};

TEST_F(Remapping, ConnectedPositionsTruncateAndClampIntoTheImage) {
    EXPECT_EQ(columnFor(1.0, 5), 4); // column 5 clamps to the last
    EXPECT_EQ(columnFor(-1.0, 5), 0);
    EXPECT_EQ(columnFor(0.0, 5), 2); // 2.5 truncated
    EXPECT_EQ(columnFor(-1.5, 640), 0);
    EXPECT_EQ(columnFor(0.3, 10), 6); // 6.5 truncated, not rounded
    // The value column 1 outputs at width 6 maps just below 1, so column 0.
    EXPECT_EQ(columnFor(2.0 * 1 / 6 - 1, 6), 0);
}

TEST_F(Remapping, OutOfRangeAndNotANumberReadColumnZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, inf, -inf, 1e300, -1e300, 4294967296.0 / 320.0})
        EXPECT_EQ(columnFor(v, 640), 0) << v;
    // Just inside the range still maps to the last column.
    EXPECT_EQ(columnFor(2147483647.0 / 320.0 - 1.0, 640), 639);
}

TEST_F(Remapping, PositionOutputsShowTheQuantisedPixel) {
    Frame frame(10, 1);
    harness::handOver(frame.access());
    node.newTime();
    connect(node.inputX(), 0.3);
    EXPECT_EQ(node.evaluate("Image X", sampleAt(0, 0)).v[0], 2.0 * 6 / 10 - 1);
}

TEST_F(Remapping, ImageYRemapsRowsWithTheHeight) {
    Frame frame(1, 4);
    frame.fill(1, [](int32_t, int32_t y) { return float(y); });
    harness::handOver(frame.access());
    node.newTime();
    connect(node.inputY(), 0.5); // 3.0
    EXPECT_EQ(node.evaluate("Luminous", sampleAt(0, 0)).v[0], 3.0);
    EXPECT_EQ(node.evaluate("Image Y", sampleAt(0, 1)).v[0], 0.5);
}

TEST_F(AccessNodeTest, InputsAreEvaluatedOnlyWhenTheSampleLeavesTheStoredPosition) {
    AccessNode node;
    Frame frame(5, 2);
    frame.fill(1, [](int32_t x, int32_t y) { return float(10 * y + x); });
    harness::handOver(frame.access());

    // Before any new-time the stored position is (0, 0).
    connect(node.inputX(), 1.0);
    EXPECT_EQ(node.evaluate("Luminous", sampleAt(0, 0)).v[0], 0.0);
    EXPECT_EQ(node.inputX().evaluations, 0);

    node.newTime();
    connect(node.inputX(), 0.0); // column 2
    EXPECT_EQ(node.evaluate("Luminous", sampleAt(3, 1)).v[0], 12.0);
    EXPECT_EQ(node.inputX().evaluations, 1);
    EXPECT_EQ(node.evaluate("Luminous", sampleAt(3, 1)).v[0], 12.0);
    EXPECT_EQ(node.inputX().evaluations, 2); // (3, 1) is not the stored (2, 1)
    // A sample at the stored position skips the inputs and reads its own pixel.
    connect(node.inputX(), 1.0);
    EXPECT_EQ(node.evaluate("Luminous", sampleAt(2, 1)).v[0], 12.0);
    EXPECT_EQ(node.inputX().evaluations, 2);
    // New-time forgets the stored position.
    node.newTime();
    EXPECT_EQ(node.evaluate("Luminous", sampleAt(2, 1)).v[0], 14.0);
    EXPECT_EQ(node.inputX().evaluations, 3);
}

TEST_F(AccessNodeTest, MissingRowsAndUnknownOutputsGiveZeros) {
    AccessNode node;
    Frame frame(3, 3);
    frame.fill(6, [](int32_t, int32_t) { return 1.0f; });
    frame.fill(8, [](int32_t, int32_t) { return 1.0f; }); // 7 missing
    frame.fill(17, [](int32_t, int32_t) { return 2.0f; });
    frame.fill(18, [](int32_t, int32_t) { return 3.0f; });
    frame.fill(19, [](int32_t, int32_t) { return 4.0f; });
    harness::handOver(frame.access());
    node.newTime();
    fake::Value raw = node.evaluate("Raw Color", sampleAt(1, 1));
    EXPECT_EQ(raw.sets, 1);
    EXPECT_EQ(std::vector<double>(raw.v, raw.v + 3), (std::vector<double>{0, 0, 0}));
    // The toggle is off, yet the output reads its buffers.
    fake::Value reflection = node.evaluate("Reflection Color", sampleAt(1, 1));
    EXPECT_EQ(std::vector<double>(reflection.v, reflection.v + 3), (std::vector<double>{2, 3, 4}));
    fake::Value shadow = node.evaluate("Shadow", sampleAt(1, 1));
    EXPECT_EQ(shadow.sets, 1);
    EXPECT_EQ(shadow.v[0], 0.0);
    // Three rows are fetched for a colour read even when the first is missing.
    frame.lineRequests.clear();
    node.evaluate("Raw Color", sampleAt(1, 1));
    EXPECT_EQ(frame.lineRequests, (std::vector<int32_t>{6, 7, 8}));

    fake::Value stray = node.evaluate(reinterpret_cast<NodeOutputID>(&frame), sampleAt(1, 1));
    EXPECT_EQ(stray.sets, 1);
    EXPECT_EQ(std::vector<double>(stray.v, stray.v + 3), (std::vector<double>{0, 0, 0}));
}

TEST_F(AccessNodeTest, PanelIsBuiltOnceWithFifteenTogglesLabelledByTheNode) {
    AccessNode node("Reader");
    const std::size_t before = host.panels().created();
    minihost::Panel& panel = panelOf(node);
    EXPECT_EQ(&panelOf(node), &panel);
    EXPECT_EQ(host.panels().created(), before + 1);
    EXPECT_EQ(panel.label(), "Reader");
    EXPECT_EQ(panel.instance(), node.get());
    EXPECT_EQ(panel.userData(), node.get());
    ASSERT_EQ(panel.controls().size(), 15u);
    for (int k = 0; k < 15; ++k) {
        const minihost::PanelControlInfo& c = panel.controls()[k];
        EXPECT_EQ(c.id, 0x8001u + k);
        EXPECT_EQ(c.label, bufferChannels[2 + k].name);
        EXPECT_EQ(c.type, "iBoolean");
        EXPECT_EQ(c.valueName, bufferChannels[2 + k].name);
        EXPECT_EQ(c.valueType, "integer");
        EXPECT_EQ(panel.get(c.id), 0);
    }
    EXPECT_EQ(panel.set(0x800B, 1), 1);
    EXPECT_EQ(panel.get(0x800B), 1);
    EXPECT_EQ(panel.refreshCount(), 1u);
    // A toggle adds or removes no output.
    EXPECT_NO_THROW(node.output("Geometry"));
    EXPECT_EQ(host.updates().calls().size(), 0u);
}

TEST_F(AccessNodeTest, AFailedPanelCreateIsRetriedOnTheNextOpening) {
    AccessNode node;
    host.panels().failNextCreate();
    InterfaceRecord record{node.get(), nullptr, nullptr, nullptr};
    EXPECT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE, record), ACTIVATE_OK);
    EXPECT_EQ(record.panel, nullptr);
    EXPECT_NO_THROW(panelOf(node));
}

TEST_F(AccessNodeTest, GetAndSetReachOnlyTheFifteenToggles) {
    AccessNode node;
    minihost::Panel& panel = panelOf(node);
    ASSERT_NE(gGet, nullptr);
    int32_t one = 1;
    for (uint32_t id : {0u, 0x8000u, 0x8010u, 0x8013u, 0xFFFFFFFFu}) {
        EXPECT_EQ(gGet(node.get(), id), nullptr) << id;
        EXPECT_EQ(gSet(node.get(), id, &one), 0) << id;
    }
    EXPECT_EQ(gSet(node.get(), 0x8001, nullptr), 0);
    EXPECT_EQ(gGet(nullptr, 0x8001), nullptr);
    EXPECT_EQ(gSet(nullptr, 0x8001, &one), 0);
    // Nothing moved: no flag reported, the saved words unchanged.
    EXPECT_EQ(harness::gatherFlags(), 0u);
    std::vector<int32_t> expected(19, 0);
    std::fill_n(expected.begin(), 4, 1);
    EXPECT_EQ(savedFlags(node), expected);
    // The first and last toggles are the words after the four fixed ones.
    EXPECT_EQ(gSet(node.get(), 0x8001, &one), 1);
    int32_t five = 5;
    EXPECT_EQ(gSet(node.get(), 0x800F, &five), 1);
    expected[4] = 1;
    expected[18] = 5;
    EXPECT_EQ(savedFlags(node), expected);
    EXPECT_EQ(*static_cast<int32_t*>(gGet(node.get(), 0x800F)), 5);
    (void)panel;
}

TEST_F(AccessNodeTest, SavedTogglesRoundTripAndTheFixedFourAreAlwaysOne) {
    AccessNode saved("A");
    panelOf(saved).set(0x8003, 1);
    panelOf(saved).set(0x800E, 1);
    minihost::SaveStream out;
    ASSERT_EQ(saved.instance().save(out.state()), nullptr);

    AccessNode loaded("B");
    minihost::LoadStream in(out.root());
    EXPECT_EQ(loaded.instance().load(in.state()), nullptr);
    EXPECT_EQ(savedFlags(loaded), savedFlags(saved));
    EXPECT_EQ(panelOf(loaded).get(0x8003), 1);

    // A block whose fixed words are 0 still loads them as 1.
    minihost::Block root;
    std::vector<int32_t> words(19, 0);
    words[5] = 3;
    root.children.push_back({kFLAG, "Flags", true, words, {}});
    AccessNode zeroed("C");
    minihost::LoadStream zeroIn(root);
    zeroed.instance().load(zeroIn.state());
    std::vector<int32_t> expected = words;
    std::fill_n(expected.begin(), 4, 1);
    EXPECT_EQ(savedFlags(zeroed), expected);
    EXPECT_EQ(harness::gatherFlags() & 0x4u, 0x4u); // Diffuse, stored as 3

    // A stream without the block keeps the toggles.
    minihost::Block none;
    minihost::LoadStream noneIn(none);
    EXPECT_EQ(zeroed.instance().load(noneIn.state()), nullptr);
    EXPECT_EQ(savedFlags(zeroed), expected);
}

TEST_F(AccessNodeTest, CopyLeavesTheDestinationsToggles) {
    AccessNode source("A"), target("B");
    panelOf(source).set(0x8002, 1);
    EXPECT_EQ(target.instance().copyFrom(source.instance()), nullptr);
    EXPECT_EQ(panelOf(target).get(0x8002), 0);
}

TEST_F(AccessNodeTest, NullInstancesAreHarmless) {
    const NodeHandler& h = host.nodeHandler(SERVER_IMAGE_NODE);
    minihost::SaveStream out;
    minihost::Block root;
    minihost::LoadStream in(root);
    EXPECT_EQ(h.inst->save(nullptr, &out.state()), nullptr);
    EXPECT_TRUE(out.root().children.empty());
    EXPECT_EQ(h.inst->load(nullptr, &in.state()), nullptr);
    EXPECT_EQ(h.inst->copy(nullptr, nullptr), nullptr);
    EXPECT_EQ(h.rend->init(nullptr, 1), nullptr);
    EXPECT_EQ(h.rend->newTime(nullptr, 0, 0.0), nullptr);
    h.rend->cleanup(nullptr);
    fake::Value value;
    NodalSample sample = sampleAt(0, 0);
    h.evaluate(nullptr, &sample, nullptr, reinterpret_cast<NodeValue>(&value));
    EXPECT_EQ(value.sets, 0);
    h.inst->destroy(nullptr);
    InterfaceRecord record{nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(host.activateInterface(CLASS_NODE_INTERFACE, SERVER_IMAGE_NODE, record), ACTIVATE_OK);
    EXPECT_EQ(record.panel, nullptr);
}

} // namespace
