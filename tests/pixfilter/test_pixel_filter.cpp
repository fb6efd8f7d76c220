// The node pixel filter through minihost: activation, instances, flags, the
// sample fill, evaluate, saved state and the root-node panel.
#include "pixel_fixture.h"

#include <minihost/scene.h>
#include <minihost/streams.h>

#include <cmath>
#include <optional>

namespace pixeltest {
namespace {

using minihost::Block;
using minihost::PixelFilter;
using Call = fakes::Sample::Call;

constexpr uint32_t kPFLG = blockIdOf('P', 'F', 'L', 'G');
constexpr uint32_t kPNOD = blockIdOf('P', 'N', 'O', 'D');
constexpr uint32_t kNETW = blockIdOf('N', 'E', 'T', 'W');
constexpr int kRawColor = 7, kDepth = 13, kReflection = 16;

fakes::Source constant(double r, double g = 0.0, double b = 0.0) {
    return [=](NodalSample&, double* out) {
        out[0] = r;
        out[1] = g;
        out[2] = b;
    };
}

Block settingsBlock(std::vector<int32_t> ints) {
    return {kPFLG, "Flags", true, std::move(ints), {}};
}

Block networkBlock(int32_t network) {
    return {kPNOD, "Nodes", false, {}, {{kNETW, "Network", true, {network}, {}}}};
}

TEST_F(PixelTest, HandlerActivationIgnoresTheVersionButNeedsItsSevenServices) {
    for (int version : {0, 1, 7}) {
        InstanceFuncs inst{};
        ItemFuncs item{};
        RenderFuncs rend{};
        PixelFilterHandler handler{&inst, &item, &rend, nullptr, nullptr};
        ASSERT_EQ(host.module().activate(CLASS_PIXEL_FILTER_HANDLER, SERVER_PIXEL_FILTER, version,
                                         &minihost::Host::lookup, &handler),
                  ACTIVATE_OK);
        EXPECT_EQ(inst.priv, reinterpret_cast<void*>(&minihost::Host::lookup));
        EXPECT_TRUE(inst.create && inst.destroy && inst.copy && inst.load && inst.save);
        EXPECT_STREQ(inst.describe(nullptr), TITLE_PIXEL_FILTER);
        EXPECT_TRUE(item.useItems && item.changeID && rend.init && rend.cleanup && rend.newTime);
        EXPECT_TRUE(handler.evaluate && handler.flags);
    }

    // The item and render tables are optional.
    InstanceFuncs inst{};
    PixelFilterHandler bare{&inst, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(host.module().activate(CLASS_PIXEL_FILTER_HANDLER, SERVER_PIXEL_FILTER, 1,
                                     &minihost::Host::lookup, &bare),
              ACTIVATE_OK);

    // A record without an instance table is no record.
    PixelFilterHandler noTable{nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(host.module().activate(CLASS_PIXEL_FILTER_HANDLER, SERVER_PIXEL_FILTER, 1,
                                     &minihost::Host::lookup, &noTable),
              ACTIVATE_NO_RECORD);

    for (const char* service : {SERVICE_NODE_EDITOR, SERVICE_ITEM_INFO, SERVICE_SCENE_INFO}) {
        SCOPED_TRACE(service);
        host.withhold(service);
        InstanceFuncs untouched{};
        RenderFuncs rend{};
        PixelFilterHandler handler{&untouched, nullptr, &rend, nullptr, nullptr};
        EXPECT_EQ(host.module().activate(CLASS_PIXEL_FILTER_HANDLER, SERVER_PIXEL_FILTER, 1,
                                         &minihost::Host::lookup, &handler),
                  ACTIVATE_MISSING_SERVICE);
        EXPECT_EQ(untouched.create, nullptr);
        EXPECT_EQ(rend.init, nullptr);
        EXPECT_EQ(handler.evaluate, nullptr);
        host.restore(service);
    }
}

TEST_F(PixelTest, InterfaceOpensTheNetworkOnlyForVersionFour) {
    PixelFilter filter;
    InterfaceRecord record{};
    EXPECT_EQ(filter.openInterface(record, 3), ACTIVATE_BAD_VERSION);
    EXPECT_TRUE(editorOf(filter).calls.empty());

    int junk = 0;
    record = {filter.get(), reinterpret_cast<PanelID>(&junk), &junk, &junk};
    EXPECT_EQ(host.activateInterface(CLASS_PIXEL_FILTER_INTERFACE, SERVER_PIXEL_FILTER, record),
              ACTIVATE_OK);
    EXPECT_EQ(record.panel, nullptr);
    EXPECT_EQ(record.options, nullptr);
    EXPECT_EQ(record.command, nullptr);
    EXPECT_EQ(editorOf(filter).calls, std::vector<std::string>{"open"});

    // No instance: nothing to open, still activated.
    record = {};
    EXPECT_EQ(host.activateInterface(CLASS_PIXEL_FILTER_INTERFACE, SERVER_PIXEL_FILTER, record),
              ACTIVATE_OK);
}

TEST_F(PixelTest, CreateBuildsARootNodeWithOneInputPerChannelAndJoinsTheRing) {
    PixelFilter filter;
    fakes::Editor& e = editorOf(filter);
    EXPECT_EQ(e.name, "PixelFilter");
    EXPECT_EQ(e.title, "Node PixelFilter 1.00");
    EXPECT_NE(e.init.rootPanel, nullptr);
    for (void* word : e.init.reserved0)
        EXPECT_EQ(word, nullptr);
    EXPECT_EQ(e.root.mode, 2);
    ASSERT_NE(e.group, nullptr);
    EXPECT_EQ(host.scene().envelopeGroups().back(), "NodePixelFilter");
    EXPECT_NE(e.displayEvent, nullptr);
    ASSERT_NE(e.autosize, nullptr);
    double box[6] = {-1, -1, -1, -1, -1, -1};
    EXPECT_EQ(e.autosize(nullptr, nullptr, box), 0);
    EXPECT_EQ(std::vector<double>(box, box + 6), (std::vector<double>{0, 1, 0, 1, 0, 1}));

    ASSERT_EQ(e.inputs.size(), static_cast<std::size_t>(CHANNEL_COUNT));
    int row = 0;
    for (const fakes::Input& input : e.inputs) {
        EXPECT_EQ(input.name, bufferChannels[row].name);
        EXPECT_EQ(input.type, bufferChannels[row].valueType);
        ++row;
    }
    EXPECT_TRUE(host.ring().isAttached(RING_TOPIC_PIXEL, filter.get()));
    EXPECT_EQ(filter.instance().describe(), TITLE_PIXEL_FILTER);
}

TEST_F(PixelTest, DestroyLeavesTheRingAndReleasesTheEditorAndPanel) {
    std::optional<PixelFilter> filter(std::in_place);
    fakes::Editor& e = editorOf(*filter);
    ASSERT_NE(requestRootPanel(*filter), nullptr);
    ASSERT_EQ(host.panels().live(), 1u);
    filter.reset();
    EXPECT_TRUE(e.destroyed);
    EXPECT_EQ(host.panels().live(), 0u);
    EXPECT_EQ(host.ring().attachments(RING_TOPIC_PIXEL), 0u);
}

TEST_F(PixelTest, AFailedEditorCreateIsReportedAndLeavesNothingAttached) {
    const InstanceFuncs& funcs = *filterHandler().inst;
    graph.failNextCreate();
    const char* error = nullptr;
    EXPECT_EQ(funcs.create(funcs.priv, nullptr, &error), nullptr);
    EXPECT_STREQ(error, "Node editor creation failed!");
    EXPECT_EQ(host.ring().attachments(RING_TOPIC_PIXEL), 0u);
}

TEST_F(PixelTest, FlagsCombineTheFilterBitsConnectedInputsAndAccessNodeNeeds) {
    PixelFilter filter;
    EXPECT_EQ(filter.flags(), 0xA0000000u);
    minihost::Panel& panel = rootPanel(filter);
    panel.set(0x8001, 0);
    EXPECT_EQ(filter.flags(), 0x80000000u);
    panel.set(0x8002, 1);
    EXPECT_EQ(filter.flags(), 0xC0000000u);
    panel.set(0x8001, 5);
    EXPECT_EQ(filter.flags(), 0xE0000000u);
    panel.set(0x8002, 0);

    rootInput(filter, 0).source = constant(1);
    rootInput(filter, 1).source = constant(1);
    EXPECT_EQ(filter.flags(), 0xA0000000u) << "Color and Alpha need nothing";
    rootInput(filter, kRawColor).source = constant(1);
    EXPECT_EQ(filter.flags(), 0xA00001C0u);
    for (int i = FIRST_OPTIONAL_CHANNEL; i < CHANNEL_COUNT; ++i)
        rootInput(filter, i).source = constant(1);
    EXPECT_EQ(filter.flags(), 0xA00FFFFEu);

    PixelFilter plain;
    auto node = placeAccessNode(plain);
    node->check(0x800C, 1); // Depth
    EXPECT_EQ(plain.flags(), 0xA0001000u);
}

TEST_F(PixelTest, SampleFillPresentsTheSampleOnAScreenPlaneSeenFromTheCamera) {
    PixelFilter filter;
    NodalSample seen{};
    rootInput(filter, kDepth).source = [&](NodalSample& s, double* out) {
        seen = s;
        out[0] = 0;
    };
    host.scene().setFrameSize(8, 4);
    minihost::CameraItem camera;
    camera.position = [](double) { return minihost::Vec3{3, 4, 0}; };
    host.scene().setCamera(camera);
    filter.newTime(2, 0.5);

    sample.record.sx = 2.75;
    sample.record.sy = 1.5;
    filter.evaluate(sample.record);

    EXPECT_EQ(seen.pixelX, 2);
    EXPECT_EQ(seen.pixelY, 1);
    for (const double* p : {seen.position, seen.position2}) {
        EXPECT_DOUBLE_EQ(p[0], 2.75 / 8 * 2 - 1);
        EXPECT_DOUBLE_EQ(p[1], 1.5 / 4 * 2 - 1);
        EXPECT_EQ(p[2], 0.0);
    }
    for (const double* d : {seen.direction, seen.direction2, seen.direction3})
        EXPECT_EQ(std::vector<double>(d, d + 3), (std::vector<double>{0, 0, -1}));
    EXPECT_EQ(std::vector<double>(seen.eyePosition, seen.eyePosition + 3),
              (std::vector<double>{3, 4, 0}));
    EXPECT_DOUBLE_EQ(seen.eyeDistance, 5.0);
    EXPECT_EQ(seen.constant1, 0.001);
    EXPECT_EQ(seen.constant2, 1.0);
    EXPECT_EQ(seen.constant3, 0.0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(seen.matrix1[i], i % 4 == 0 ? 1.0 : 0.0);
        EXPECT_EQ(seen.matrix2[i], i % 4 == 0 ? 1.0 : 0.0);
    }
    EXPECT_EQ(seen.rayFunc1, sample.record.rayFuncs[0]);
    EXPECT_EQ(seen.rayFunc2, sample.record.rayFuncs[1]);
    EXPECT_EQ(seen.rayFunc3, sample.record.rayFuncs[2]);
    EXPECT_EQ(seen.rayFunc4, sample.record.rayFuncs[3]);
    EXPECT_EQ(seen.reserved332, 0);
    EXPECT_EQ(seen.reserved348, 0);
    EXPECT_EQ(seen.pixelFilter, 1);
    EXPECT_EQ(seen.cameraItem, host.scene().renderCamera(0.5));
    EXPECT_NE(seen.cameraItem, nullptr);

    // A frame without a render camera keeps the last camera's position and
    // frame size, but no camera item.
    host.scene().clearCamera();
    host.scene().setFrameSize(100, 100);
    filter.newTime(3, 1.0);
    filter.evaluate(sample.record);
    EXPECT_EQ(seen.cameraItem, nullptr);
    EXPECT_DOUBLE_EQ(seen.eyeDistance, 5.0);
    EXPECT_DOUBLE_EQ(seen.position[0], 2.75 / 8 * 2 - 1);
}

TEST_F(PixelTest, BeforeAnyFrameSizeIsKnownThePositionsAreTheOrigin) {
    PixelFilter filter;
    NodalSample seen{};
    seen.position[0] = 42;
    rootInput(filter, 0).source = [&](NodalSample& s, double* out) {
        seen = s;
        out[0] = out[1] = out[2] = 0;
    };
    host.scene().setFrameSize(8, 4);
    filter.newTime(1, 0.0); // the scene has no render camera: the size is not taken
    sample.record.sx = 3.5;
    sample.record.sy = 2.0;
    filter.evaluate(sample.record);
    EXPECT_EQ(seen.pixelX, 3);
    for (const double* p : {seen.position, seen.position2})
        EXPECT_EQ(std::vector<double>(p, p + 3), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(seen.eyeDistance, 0.0);
}

TEST_F(PixelTest, WithNothingConnectedColourAndAlphaPassThroughAndNothingElseIsTouched) {
    PixelFilter filter;
    for (std::size_t i = 0; i < sample.values.size(); ++i)
        sample.values[i] = 0.5f + static_cast<float>(i);
    const auto before = sample.values;
    filter.evaluate(sample.record);
    EXPECT_EQ(sample.calls,
              (std::vector<Call>{{'g', 32, 3}, {'s', 32, 3}, {'g', 35, 1}, {'s', 35, 1}}));
    EXPECT_EQ(sample.values, before);
}

TEST_F(PixelTest, ConnectedInputsAreWrittenToTheirBuffersRightAfterEvaluation) {
    PixelFilter filter;
    sample.values.fill(-1.0f);
    rootInput(filter, 0).source = constant(0.1, 0.2, 0.3);
    rootInput(filter, 1).source = constant(0.5, 9, 9); // only the first double counts
    rootInput(filter, kRawColor).source = constant(0.25, 0.5, 0.75);
    rootInput(filter, kDepth).source = [&](NodalSample&, double* out) {
        EXPECT_EQ(sample.values[6], 0.25f) << "Raw Color is written before Depth is evaluated";
        out[0] = 12.5;
        out[1] = out[2] = 99;
    };
    rootInput(filter, kReflection).source = constant(1, 2, 3);
    filter.evaluate(sample.record);

    EXPECT_EQ(
        sample.calls,
        (std::vector<Call>{{'s', 32, 3}, {'s', 35, 1}, {'s', 6, 3}, {'s', 12, 1}, {'s', 17, 3}}));
    EXPECT_EQ(sample.values[32], static_cast<float>(0.1)); // the float nearest 0.1
    EXPECT_EQ(sample.values[33], 0.2f);
    EXPECT_EQ(sample.values[34], 0.3f);
    EXPECT_EQ(sample.values[35], 0.5f);
    EXPECT_EQ(sample.values[7], 0.5f);
    EXPECT_EQ(sample.values[8], 0.75f);
    EXPECT_EQ(sample.values[12], 12.5f);
    EXPECT_EQ(sample.values[13], -1.0f);
    EXPECT_EQ(sample.values[17], 1.0f);
    EXPECT_EQ(sample.values[19], 3.0f);
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        EXPECT_EQ(rootInput(filter, i).evaluations, rootInput(filter, i).source ? 1 : 0);
}

TEST_F(PixelTest, EvaluateHandsTheSampleToAccessNodesBeforeTheNetworkRuns) {
    PixelFilter filter;
    auto node = placeAccessNode(filter);
    fakes::Member member = node->member();
    fakes::Output& raw = node->output("Raw Color");
    fakes::Output& depth = node->output("Depth");
    // Color = Raw Color tinted by Depth.
    rootInput(filter, 0).source = [&](NodalSample& s, double* out) {
        double colour[3], d[3];
        fakes::NodeGraph::evaluateOutput(member, raw, s, colour);
        fakes::NodeGraph::evaluateOutput(member, depth, s, d);
        for (int c = 0; c < 3; ++c)
            out[c] = colour[c] * d[0];
    };
    sample.values[6] = 0.5f;
    sample.values[7] = 0.25f;
    sample.values[8] = 1.0f;
    sample.values[12] = 2.0f;

    filter.init(1);
    filter.newTime(0, 0.0);
    filter.evaluate(sample.record);
    filter.cleanup();
    EXPECT_EQ(sample.values[32], 1.0f);
    EXPECT_EQ(sample.values[33], 0.5f);
    EXPECT_EQ(sample.values[34], 2.0f);
    EXPECT_EQ(editorOf(filter).calls, (std::vector<std::string>{"init 1", "newtime 0", "cleanup"}));
}

TEST_F(PixelTest, SaveWritesSettingsThenNetworkAndLoadRestoresBoth) {
    PixelFilter saved;
    rootPanel(saved).set(0x8001, 0);
    rootPanel(saved).set(0x8002, 1);
    editorOf(saved).network = 42;
    minihost::SaveStream out;
    EXPECT_EQ(saved.instance().save(out.state()), nullptr);
    EXPECT_TRUE(out.balanced());
    EXPECT_EQ(out.root().children, (std::vector<Block>{settingsBlock({0, 1}), networkBlock(42)}));

    PixelFilter loaded;
    minihost::LoadStream in(out.root());
    EXPECT_EQ(loaded.instance().load(in.state()), nullptr);
    EXPECT_EQ(loaded.flags(), 0xC0000000u);
    EXPECT_EQ(editorOf(loaded).network, 42);

    // The node editor's own results are what save and load report.
    editorOf(saved).saveResult = "save failed";
    minihost::SaveStream again;
    EXPECT_STREQ(saved.instance().save(again.state()), "save failed");
    editorOf(loaded).loadResult = "load failed";
    minihost::LoadStream in2(out.root());
    EXPECT_STREQ(loaded.instance().load(in2.state()), "load failed");
}

TEST_F(PixelTest, LoadTakesBlocksInEitherOrderAndKeepsWhatAStreamLacks) {
    auto load = [](const PixelFilter& filter, std::vector<Block> blocks) {
        Block root;
        root.children = std::move(blocks);
        minihost::LoadStream in(root);
        return filter.instance().load(in.state());
    };
    PixelFilter reversed;
    EXPECT_EQ(load(reversed, {networkBlock(5), settingsBlock({0, 1})}), nullptr);
    EXPECT_EQ(reversed.flags(), 0xC0000000u);
    EXPECT_EQ(editorOf(reversed).network, 5);

    PixelFilter networkOnly;
    editorOf(networkOnly).loadResult = "from the editor";
    EXPECT_STREQ(load(networkOnly, {networkBlock(6)}), "from the editor");
    EXPECT_EQ(networkOnly.flags(), 0xA0000000u);

    PixelFilter nothing;
    editorOf(nothing).network = 3;
    editorOf(nothing).loadResult = "never asked";
    EXPECT_EQ(load(nothing, {}), nullptr);
    EXPECT_EQ(editorOf(nothing).network, 3);
    EXPECT_EQ(nothing.flags(), 0xA0000000u);

    // A settings block short of its second integer leaves that setting alone.
    PixelFilter shortBlock;
    rootPanel(shortBlock).set(0x8002, 1);
    EXPECT_EQ(load(shortBlock, {settingsBlock({0})}), nullptr);
    EXPECT_EQ(shortBlock.flags(), 0xC0000000u);
}

TEST_F(PixelTest, CopyCarriesTheNetworkButNotTheSettings) {
    PixelFilter source, destination;
    rootPanel(source).set(0x8001, 0);
    editorOf(source).network = 7;
    EXPECT_EQ(destination.instance().copyFrom(source.instance()), nullptr);
    EXPECT_EQ(editorOf(destination).network, 7);
    EXPECT_EQ(destination.flags(), 0xA0000000u);

    const InstanceFuncs& funcs = source.instance().funcs();
    EXPECT_STREQ(funcs.copy(nullptr, source.get()), "Couldn't copy data!");
    EXPECT_STREQ(funcs.copy(destination.get(), nullptr), "Couldn't copy data!");
}

TEST_F(PixelTest, RootPanelIsBuiltOnceAndDrivesTheTwoSettings) {
    PixelFilter filter;
    const PanelID first = requestRootPanel(filter);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(requestRootPanel(filter), first);
    EXPECT_EQ(host.panels().created(), 1u);

    minihost::Panel& panel = *host.panels().find(first);
    EXPECT_EQ(panel.label(), "PixelFilter");
    ASSERT_EQ(panel.controls().size(), 2u);
    EXPECT_EQ(panel.control(0x8001)->label, "Evaluate every pixel");
    EXPECT_EQ(panel.control(0x8001)->valueName, "EveryPix");
    EXPECT_EQ(panel.control(0x8002)->label, "Evaluate before volumetric");
    EXPECT_EQ(panel.control(0x8002)->valueName, "BeforeVol");
    EXPECT_EQ(panel.control(0x8002)->type, "iBoolean");
    EXPECT_EQ(panel.control(0x8002)->valueType, "integer");
    EXPECT_EQ(panel.instance(), filter.get());
    EXPECT_EQ(panel.userData(), filter.get());
    EXPECT_EQ(panel.get(0x8001), 1);
    EXPECT_EQ(panel.get(0x8002), 0);

    // Unknown IDs: set accepts and ignores, get has nothing to give.
    int32_t one = 1;
    EXPECT_EQ(panels.set(filter.get(), 0x8003, &one), 1);
    EXPECT_EQ(panels.get(filter.get(), 0x8003), nullptr);
    EXPECT_EQ(filter.flags(), 0xA0000000u);
    EXPECT_EQ(panels.get(nullptr, 0x8001), nullptr);
    EXPECT_EQ(panels.set(nullptr, 0x8001, &one), 0);
    EXPECT_EQ(panels.set(filter.get(), 0x8002, nullptr), 0);
    EXPECT_EQ(filter.flags(), 0xA0000000u);

    // A node that belongs to no filter has no root panel.
    fakes::Node& stranger = graph.makeNode("Stranger");
    EXPECT_EQ(editorOf(filter).init.rootPanel(stranger.handle()), nullptr);
}

TEST_F(PixelTest, RootPanelNeedsThePanelServiceAndRetriesAfterAFailedCreate) {
    host.withhold(SERVICE_PANELS);
    PixelFilter filter; // handler activation finds no panel service
    EXPECT_EQ(requestRootPanel(filter), nullptr);
    host.restore(SERVICE_PANELS);
    EXPECT_EQ(requestRootPanel(filter), nullptr) << "nothing has looked the service up yet";

    InterfaceRecord record{};
    ASSERT_EQ(filter.openInterface(record), ACTIVATE_OK);
    host.panels().failNextCreate();
    EXPECT_EQ(requestRootPanel(filter), nullptr);
    EXPECT_NE(requestRootPanel(filter), nullptr);
    EXPECT_EQ(host.panels().live(), 1u);
}

TEST_F(PixelTest, FilterCallbacksTolerateNullInstancesAndRecords) {
    const PixelFilterHandler& h = filterHandler();
    minihost::SaveStream out;
    Block empty;
    minihost::LoadStream in(empty);
    h.inst->destroy(nullptr);
    EXPECT_EQ(h.inst->load(nullptr, &in.state()), nullptr);
    EXPECT_EQ(h.inst->save(nullptr, &out.state()), nullptr);
    EXPECT_STREQ(h.inst->describe(nullptr), TITLE_PIXEL_FILTER);
    EXPECT_EQ(h.item->useItems(nullptr), nullptr);
    h.item->changeID(nullptr, nullptr);
    EXPECT_EQ(h.rend->init(nullptr, 1), nullptr);
    EXPECT_EQ(h.rend->newTime(nullptr, 1, 0.0), nullptr);
    h.rend->cleanup(nullptr);
    EXPECT_EQ(h.flags(nullptr), 0u);
    h.evaluate(nullptr, &sample.record);
    EXPECT_TRUE(sample.calls.empty());

    PixelFilter filter;
    h.evaluate(filter.get(), nullptr);
    EXPECT_EQ(h.inst->load(filter.get(), nullptr), nullptr);
    EXPECT_EQ(h.inst->save(filter.get(), nullptr), nullptr);
    EXPECT_TRUE(out.root().children.empty());
}

} // namespace
} // namespace pixeltest
