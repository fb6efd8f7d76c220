// Module nodes through the test node module: creation through the node
// services, evaluate, the render callbacks, panels and release.
#include "network_test_support.h"

#include <minihost/panels.h>

#include <gmock/gmock.h>

namespace {

using namespace nodes_test;
using minihost::HostError;
using minihost::NodeKind;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ModuleNodes : public ModuleNetworkTest {};

TEST_F(ModuleNodes, TheModuleBuildsItsPortsOnTheNodeItIsGiven) {
    auto& node = net.addModule(TEST_SCALE_NODE);
    EXPECT_EQ(node.name(), "Test_ScaleNode1");
    EXPECT_EQ(node.type(), TEST_SCALE_NODE);
    EXPECT_EQ(node.mode(), 2);
    ScaleNodeInstance& inst = scale(node.name());
    EXPECT_EQ(inst.node, node.handle());
    EXPECT_EQ(inst.in, node.input("In")->handle());
    EXPECT_EQ(inst.out, node.output("Out")->handle());

    const auto infos = net.describe();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[1].kind, NodeKind::Module);
    ASSERT_EQ(infos[1].inputs.size(), 2u);
    EXPECT_EQ(infos[1].inputs[0].type, ValueType::Color);
    EXPECT_EQ(infos[1].inputs[1].type, ValueType::Scalar);
    ASSERT_EQ(infos[1].outputs.size(), 3u);
    EXPECT_EQ(infos[1].outputs[1].name, "Scalar");

    // Node name answers the same text the module uses as its panel label.
    const auto& nodeFuncs = service<NodeFuncs>(SERVICE_NODE);
    EXPECT_STREQ(nodeFuncs.nodeName(node.handle()), "Test_ScaleNode1");
    EXPECT_EQ(nodeFuncs.nodeName(nullptr), nullptr);
}

TEST_F(ModuleNodes, EvaluateReturnsWhatTheModuleSets) {
    net.addModule(TEST_SCALE_NODE, "scale");
    net.addBuiltin("color", "tint");
    net.setDefault("tint", "Color", {0.5, 1.0, 2.0});
    net.connect("tint", "Color", "scale", "In");
    net.setDefault("scale", "Factor", {2, 0, 0});
    net.connect("scale", "Out", "Root", "Color");
    net.connect("scale", "Scalar", "Root", "Alpha");
    scale("scale").gain = 3;
    sample.pixelX = 17;

    EXPECT_THAT(rootValue("Color"), ElementsAre(3, 6, 12));
    EXPECT_EQ(rootValue("Alpha")[0], 6.0);
    EXPECT_EQ(scale("scale").lastPixelX, 17); // the sample reaches the module

    // A scalar output feeding a colour input becomes grey.
    net.connect("scale", "Scalar", "Root", "Color");
    EXPECT_THAT(rootValue("Color"), ElementsAre(6, 6, 6));
    // An output the module sets nothing for is zero.
    net.connect("scale", "Unset", "Root", "Alpha");
    net.setDefault("Root", "Alpha", {9, 0, 0});
    EXPECT_EQ(rootValue("Alpha")[0], 0.0);
}

TEST_F(ModuleNodes, ModuleNodesChainThroughEachOther) {
    net.addModule(TEST_SCALE_NODE, "first");
    net.addModule(TEST_SCALE_NODE, "second");
    net.setDefault("first", "In", {1, 1, 1});
    net.setDefault("first", "Factor", {2, 0, 0});
    net.setDefault("second", "Factor", {5, 0, 0});
    net.connect("first", "Out", "second", "In");
    net.connect("second", "Out", "Root", "Color");
    EXPECT_THAT(rootValue("Color"), ElementsAre(10, 10, 10));
    EXPECT_THROW(net.connect("second", "Out", "first", "In"), HostError);
}

TEST_F(ModuleNodes, RenderCallbacksReachEveryModuleNode) {
    net.addModule(TEST_SCALE_NODE, "a");
    net.addBuiltin("add", "between");
    net.addModule(TEST_SCALE_NODE, "b");
    const auto& funcs = editorFuncs();
    funcs.init(editor.handle(), 1);
    funcs.newTime(editor.handle(), 12, 0.5);
    funcs.cleanup(editor.handle());
    for (const char* name : {"a", "b"}) {
        const ScaleNodeInstance& inst = scale(name);
        EXPECT_EQ(inst.initCount, 1) << name;
        EXPECT_EQ(inst.lastMode, 1) << name;
        EXPECT_EQ(inst.newTimeCount, 1) << name;
        EXPECT_EQ(inst.lastFrame, 12) << name;
        EXPECT_EQ(inst.lastTime, 0.5) << name;
        EXPECT_EQ(inst.cleanupCount, 1) << name;
    }
}

TEST_F(ModuleNodes, ACreateFailureIsReportedWithTheModulesTextAndLeavesNothing) {
    EXPECT_THAT([&] { net.addModule(TEST_FAILING_NODE); },
                ::testing::ThrowsMessage<HostError>(HasSubstr(TEST_FAILING_NODE_ERROR)));
    EXPECT_THROW(net.addModule("No_Such_Server"), HostError);
    EXPECT_TRUE(net.nodes().empty());
    EXPECT_EQ(editor.displayEvents(), 0u);
}

TEST_F(ModuleNodes, InstancesAreDestroyedWithTheirNodeAndTheirEditor) {
    net.addModule(TEST_SCALE_NODE, "a");
    net.addModule(TEST_SCALE_NODE, "b");
    net.connect("b", "Out", "Root", "Color");
    EXPECT_EQ(liveScaleNodes(), 2u);
    net.remove("b");
    EXPECT_EQ(liveScaleNodes(), 1u);
    EXPECT_FALSE(net.root().input("Color")->connected());

    auto& other = host.nodeEditors().create("Other", "", nullptr, nullptr);
    other.network().addModule(TEST_SCALE_NODE);
    EXPECT_EQ(liveScaleNodes(), 2u);
    editorFuncs().destroy(other.handle());
    EXPECT_EQ(liveScaleNodes(), 1u);
    EXPECT_EQ(host.nodeEditors().live(), 1u);
}

TEST(ModuleNodeRelease, AHostGoingAwayReleasesInstancesBeforeTheModuleUnloads) {
    std::size_t panelsBefore = 0;
    {
        minihost::Host host;
        host.loadModule(testing_paths::fixture("test_node_module"));
        auto& editor = host.nodeEditors().create("Left open", "", nullptr, nullptr);
        auto& node = editor.network().addModule(TEST_SCALE_NODE);
        ASSERT_NE(node.panel(), nullptr);
        panelsBefore = host.panels().live();
        // The host goes with the editor still alive: the destroy callback
        // runs (detaching from the ring, destroying its panel) before unload.
    }
    EXPECT_EQ(panelsBefore, 1u);
}

TEST_F(ModuleNodes, ThePanelComesFromTheModulesInterfaceAndDrivesTheInstance) {
    net.addModule(TEST_SCALE_NODE, "scale");
    net.setDefault("scale", "Factor", {1, 0, 0});
    net.connect("scale", "Scalar", "Root", "Alpha");
    minihost::Panel* panel = net.getModule("scale").panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->label(), "scale");
    EXPECT_EQ(net.getModule("scale").panel(), panel); // built once
    EXPECT_EQ(panel->get(TEST_GAIN_CONTROL), 1);
    panel->set(TEST_GAIN_CONTROL, 4);
    EXPECT_EQ(rootValue("Alpha")[0], 4.0);
    EXPECT_EQ(panel->refreshCount(), 1u);

    net.remove("scale");
    EXPECT_EQ(host.panels().live(), 0u);
}

TEST_F(ModuleNodes, OutputDestroyDropsTheConnectionsItFed) {
    auto& node = net.addModule(TEST_SCALE_NODE, "scale");
    net.connect("scale", "Scalar", "Root", "Alpha");
    const auto& outputs = service<NodeOutputFuncs>(SERVICE_NODE_OUTPUT);
    // An output of another node is not this node's to destroy.
    auto& other = net.addBuiltin("constant");
    outputs.destroy(node.handle(), other.output("Value")->handle());
    EXPECT_EQ(other.outputs().size(), 1u);

    outputs.destroy(node.handle(), scale("scale").scalar);
    EXPECT_EQ(node.output("Scalar"), nullptr);
    EXPECT_FALSE(net.root().input("Alpha")->connected());
    // The remaining outputs still answer by handle.
    net.setDefault("scale", "In", {1, 1, 1});
    net.setDefault("scale", "Factor", {2, 0, 0});
    net.connect("scale", "Out", "Root", "Color");
    EXPECT_THAT(rootValue("Color"), ElementsAre(2, 2, 2));
}

TEST_F(ModuleNodes, PortServicesRefuseBadArguments) {
    auto& node = net.addModule(TEST_SCALE_NODE);
    const auto& inputs = inputFuncs();
    const auto& outputs = service<NodeOutputFuncs>(SERVICE_NODE_OUTPUT);
    EXPECT_EQ(inputs.create(node.handle(), 3, "Bad type", nullptr), nullptr);
    EXPECT_EQ(inputs.create(node.handle(), VALUE_SCALAR, "In", nullptr), nullptr); // taken
    EXPECT_EQ(inputs.create(nullptr, VALUE_SCALAR, "X", nullptr), nullptr);
    // A handle of the wrong kind is not taken for a node.
    EXPECT_EQ(inputs.create(reinterpret_cast<NodeID>(node.input("In")), VALUE_SCALAR, "X", nullptr),
              nullptr);
    EXPECT_EQ(outputs.create(node.handle(), VALUE_COLOR, nullptr), nullptr);
    EXPECT_EQ(outputs.setValue(nullptr, nullptr), 0);
    EXPECT_EQ(inputs.connected(nullptr), 0);
}

} // namespace
