// Node editors as a filter uses them through "NodeEditorFuncs": creation and
// its failure, user data, display events, the root-node panel, autosize.
#include "network_test_support.h"

#include <minihost/panels.h>

#include <gmock/gmock.h>

namespace {

using namespace nodes_test;
using minihost::Host;
using minihost::NodeEditor;
using minihost::Panels;
using ::testing::ElementsAre;

// What the module-side callbacks below saw.
struct Seen {
    std::vector<NodeID> displayEvents;
    std::vector<void*> displayUserData;
    void* panelUserData = nullptr;
};
Seen seen;

void recordDisplayEvent(NodeID node) {
    seen.displayEvents.push_back(node);
    seen.displayUserData.push_back(editorFuncs().userData(node));
}

PanelID buildRootPanel(NodeID node) {
    seen.panelUserData = editorFuncs().userData(node);
    static const PanelControl controls[] = {{0x8001, "Option", "iBoolean"}, {0, nullptr, nullptr}};
    return Panels::table.create(PANEL_TYPE_STANDARD, controls);
}

int32_t autosize(void*, void*, double* six) {
    for (int i = 0; i < 6; ++i)
        six[i] = i % 2;
    return 0;
}

class Editors : public ::testing::Test {
  protected:
    Editors() { seen = {}; }

    NodeEditor& editorOf(NodeEditorID handle) { return *host.nodeEditors().find(handle); }

    Host host;
    int instance = 0; // stands for a filter instance: the user data
};

TEST_F(Editors, CreateGivesAnEditorWithARootNodeAndRootInputs) {
    NodeEditorInit init{};
    const NodeEditorID handle =
        editorFuncs().create("PixelFilter", "Node PixelFilter 1.00", &init, &instance);
    ASSERT_NE(handle, nullptr);
    NodeEditor& editor = editorOf(handle);
    EXPECT_EQ(editor.name(), "PixelFilter");
    EXPECT_EQ(editor.title(), "Node PixelFilter 1.00");
    EXPECT_EQ(host.nodeEditors().findByUserData(&instance), &editor);

    const NodeID root = editorFuncs().rootNode(handle);
    EXPECT_EQ(root, editor.network().root().handle());
    const NodeInputID color = editorFuncs().addRootInput(handle, VALUE_COLOR, "Color", nullptr);
    const NodeInputID alpha = editorFuncs().addRootInput(handle, VALUE_SCALAR, "Alpha", nullptr);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(editor.network().root().input("Alpha")->handle(), alpha);
    EXPECT_EQ(editorFuncs().addRootInput(handle, VALUE_SCALAR, "Alpha", nullptr), nullptr);
    EXPECT_EQ(editorFuncs().addRootInput(handle, 0, "Depth", nullptr), nullptr);
    EXPECT_EQ(inputFuncs().connected(color), 0);

    service<NodeFuncs>(SERVICE_NODE).setNodeMode(root, 2);
    EXPECT_EQ(editor.network().root().mode(), 2);

    editorFuncs().destroy(handle);
    EXPECT_EQ(host.nodeEditors().live(), 0u);
    EXPECT_EQ(host.nodeEditors().findByUserData(&instance), nullptr);
}

TEST_F(Editors, TheFailureHookMakesOnlyTheNextCreateFail) {
    host.nodeEditors().failNextCreate();
    EXPECT_EQ(editorFuncs().create("A", "A", nullptr, &instance), nullptr);
    EXPECT_EQ(host.nodeEditors().live(), 0u);
    EXPECT_NE(editorFuncs().create("B", "B", nullptr, &instance), nullptr);
}

TEST_F(Editors, UserDataIsFoundFromAnyNodeOfTheEditor) {
    const NodeEditorID handle = editorFuncs().create("E", "E", nullptr, &instance);
    NodeEditor& editor = editorOf(handle);
    auto& node = editor.network().addBuiltin("add");
    EXPECT_EQ(editorFuncs().userData(editorFuncs().rootNode(handle)), &instance);
    EXPECT_EQ(editorFuncs().userData(node.handle()), &instance);
    EXPECT_EQ(editorFuncs().userData(nullptr), nullptr);
}

TEST_F(Editors, EveryEditReportsADisplayEventWithTheRootNode) {
    const NodeEditorID handle = editorFuncs().create("E", "E", nullptr, &instance);
    editorFuncs().setDisplayEvent(handle, recordDisplayEvent);
    NodeEditor& editor = editorOf(handle);
    editor.addRootInput(ValueType::Scalar, "Alpha");
    auto& net = editor.network();

    net.addBuiltin("constant", "c");            // 1
    net.connect("c", "Value", "Root", "Alpha"); // 2
    net.setDefault("c", "Value", {1, 0, 0});    // 3
    net.disconnect("Root", "Alpha");            // 4
    net.disconnect("Root", "Alpha");            // nothing to do: no event
    net.addBuiltin("ramp", "r");                // 5
    net.setRampKeys("r", {});                   // 6
    net.rename("r", "ramp");                    // 7
    net.remove("c");                            // 8
    EXPECT_THROW(net.connect("c", "Value", "Root", "Alpha"), minihost::HostError); // no event
    const NodeID root = editorFuncs().rootNode(handle);
    EXPECT_EQ(seen.displayEvents, std::vector<NodeID>(8, root));
    EXPECT_EQ(seen.displayUserData, std::vector<void*>(8, &instance));
}

TEST_F(Editors, TheRootPanelComesFromTheInitRecordsFunction) {
    NodeEditorInit init{};
    init.rootPanel = buildRootPanel;
    const NodeEditorID handle = editorFuncs().create("E", "E", &init, &instance);
    minihost::Panel* panel = editorOf(handle).rootPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->controls().size(), 1u);
    EXPECT_EQ(seen.panelUserData, &instance);

    const NodeEditorID bare = editorFuncs().create("F", "F", nullptr, nullptr);
    EXPECT_EQ(editorOf(bare).rootPanel(), nullptr);
}

TEST_F(Editors, OpenAutosizeAndEnvelopeGroupAreKept) {
    const NodeEditorID handle = editorFuncs().create("E", "E", nullptr, &instance);
    NodeEditor& editor = editorOf(handle);
    EXPECT_FALSE(editor.autosize(nullptr).has_value());
    editorFuncs().setAutosize(handle, autosize);
    double six[6] = {};
    EXPECT_EQ(editor.autosize(six), 0);
    EXPECT_THAT(six, ElementsAre(0, 1, 0, 1, 0, 1));

    editorFuncs().open(handle);
    editorFuncs().open(handle);
    EXPECT_EQ(editor.openCount(), 2u);

    const EnvGroupID group = reinterpret_cast<EnvGroupID>(&six);
    editorFuncs().setEnvGroup(handle, group);
    EXPECT_EQ(editor.envelopeGroup(), group);
}

TEST_F(Editors, UnknownEditorHandlesAreAnsweredWithNothing) {
    int notAnEditor = 0;
    const auto bogus = reinterpret_cast<NodeEditorID>(&notAnEditor);
    EXPECT_EQ(editorFuncs().rootNode(bogus), nullptr);
    EXPECT_EQ(editorFuncs().addRootInput(bogus, VALUE_SCALAR, "X", nullptr), nullptr);
    editorFuncs().open(bogus);
    editorFuncs().init(bogus, 1);
    editorFuncs().destroy(bogus);
    editorFuncs().destroy(nullptr);
    EXPECT_EQ(host.nodeEditors().live(), 0u);
}

} // namespace
