// The node image filter's instance from create to destroy: the network it
// builds, its ring attachment and context flag, copy, save and load, and the
// node editor's callbacks.
#include "harness.h"

#include <minihost/instance_updates.h>
#include <minihost/scene.h>
#include <minihost/streams.h>

namespace {

constexpr uint32_t kINOD = blockIdOf('I', 'N', 'O', 'D');
constexpr uint32_t kNETW = blockIdOf('N', 'E', 'T', 'W');

class FilterLifecycle : public harness::ModuleTest {
  protected:
    const ImageFilterHandler& handler = host.imageFilterHandler(SERVER_IMAGE_FILTER);

    int32_t contextAnswer() {
        ContextQuery query{-5, -1};
        host.ring().message(RING_TOPIC_IMAGE, RING_CONTEXT_QUERY, &query);
        EXPECT_EQ(query.unused, -5);
        return query.context;
    }
};

TEST_F(FilterLifecycle, CreateBuildsANetworkWithColorAndAlphaRootInputs) {
    minihost::ImageFilter filter;
    fake::Editor& editor = graph.lastEditor();
    EXPECT_EQ(editor.name, "ImageFilter");
    EXPECT_EQ(editor.title, "Node ImageFilter 1.00");
    EXPECT_EQ(editor.init.rootPanel, nullptr);
    EXPECT_EQ(editor.userData, filter.get());
    ASSERT_EQ(host.scene().envelopeGroups().size(), 1u);
    EXPECT_EQ(host.scene().envelopeGroups().front(), "NodeImageFilter");
    EXPECT_EQ(static_cast<const void*>(editor.group),
              reinterpret_cast<const void*>(&host.scene().envelopeGroups().front()));
    EXPECT_EQ(graph.node(editor.root).mode, 2);
    ASSERT_EQ(editor.rootInputs.size(), 2u);
    EXPECT_EQ(editor.rootInputs[0]->name, "Color");
    EXPECT_EQ(editor.rootInputs[0]->type, VALUE_COLOR);
    EXPECT_EQ(editor.rootInputs[1]->name, "Alpha");
    EXPECT_EQ(editor.rootInputs[1]->type, VALUE_SCALAR);
    EXPECT_TRUE(host.ring().isAttached(RING_TOPIC_IMAGE, filter.get()));
    EXPECT_EQ(filter.instance().describe(), "Tavi Node ImageFilter");
}

TEST_F(FilterLifecycle, AFailedEditorCreateReportsAndLeavesNothingBehind) {
    graph.failEditorCreate = true;
    try {
        minihost::ImageFilter filter;
        FAIL() << "create succeeded";
    } catch (const minihost::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("Node editor creation failed!"), std::string::npos);
    }
    EXPECT_EQ(host.ring().attachments(RING_TOPIC_IMAGE), 0u);
    EXPECT_TRUE(host.scene().envelopeGroups().empty());
}

TEST_F(FilterLifecycle, ContextQueryAnswersTheFlagFromCreate) {
    EXPECT_EQ(contextAnswer(), -1); // nobody answers
    const int32_t one = 1, two = 2;
    {
        minihost::ImageFilter filter(&one);
        EXPECT_EQ(contextAnswer(), 1);
    }
    for (const int32_t* context : {&two, static_cast<const int32_t*>(nullptr)}) {
        minihost::ImageFilter filter(context);
        EXPECT_EQ(contextAnswer(), 0);
    }
}

TEST_F(FilterLifecycle, DestroyDetachesThenReleasesTheEditor) {
    auto filter = std::make_unique<minihost::ImageFilter>();
    fake::Editor& editor = graph.lastEditor();
    filter.reset();
    EXPECT_TRUE(editor.destroyed);
    EXPECT_EQ(host.ring().attachments(RING_TOPIC_IMAGE), 0u);
    EXPECT_EQ(contextAnswer(), -1);
    handler.inst->destroy(nullptr);
}

TEST_F(FilterLifecycle, CopyCopiesOnlyTheNetwork) {
    const int32_t one = 1;
    minihost::ImageFilter source(&one);
    fake::Editor& sourceEditor = graph.lastEditor();
    minihost::ImageFilter target;
    fake::Editor& targetEditor = graph.lastEditor();
    sourceEditor.network = 42;
    EXPECT_EQ(target.instance().copyFrom(source.instance()), nullptr);
    EXPECT_EQ(targetEditor.network, 42);
    EXPECT_EQ(targetEditor.userData, target.get());
    EXPECT_STREQ(handler.inst->copy(nullptr, source.get()), "Couldn't copy data!");
    EXPECT_STREQ(handler.inst->copy(target.get(), nullptr), "Couldn't copy data!");
}

TEST_F(FilterLifecycle, SaveWritesOneNodesBlockAroundTheNetworkAndLoadReadsItBack) {
    minihost::ImageFilter saved;
    graph.lastEditor().network = 1234;
    minihost::SaveStream out;
    EXPECT_EQ(saved.instance().save(out.state()), nullptr);
    ASSERT_TRUE(out.balanced());
    ASSERT_EQ(out.root().children.size(), 1u);
    const minihost::Block& nodes = out.root().children[0];
    EXPECT_EQ(nodes.id, kINOD);
    EXPECT_EQ(nodes.name, "Nodes");
    EXPECT_FALSE(nodes.leaf);
    EXPECT_TRUE(nodes.ints.empty());
    ASSERT_EQ(nodes.children.size(), 1u);
    EXPECT_EQ(nodes.children[0].id, kNETW);

    const int32_t one = 1;
    minihost::ImageFilter loaded(&one);
    minihost::LoadStream in(out.root());
    EXPECT_EQ(loaded.instance().load(in.state()), nullptr);
    EXPECT_EQ(graph.lastEditor().network, 1234);
    EXPECT_EQ(contextAnswer(), 0 | 1); // the loaded filter keeps its own flag
}

TEST_F(FilterLifecycle, LoadVisitsEveryNodesBlockAndSkipsOthers) {
    minihost::ImageFilter filter;
    fake::Editor& editor = graph.lastEditor();
    editor.network = 7;

    minihost::Block none; // no node block: nothing changes, no failure
    none.children.push_back({blockIdOf('F', 'L', 'A', 'G'), "Flags", true, {1, 2}, {}});
    minihost::LoadStream empty(none);
    EXPECT_EQ(filter.instance().load(empty.state()), nullptr);
    EXPECT_EQ(editor.network, 7);

    auto nodesBlock = [](int32_t network) {
        minihost::Block b{kINOD, "Nodes", false, {}, {}};
        b.children.push_back({kNETW, "Network", true, {network}, {}});
        return b;
    };
    minihost::Block two;
    two.children = {nodesBlock(5), none.children[0], nodesBlock(6)};
    graph.loadResult = "network damaged";
    graph.log.clear();
    minihost::LoadStream in(two);
    EXPECT_STREQ(filter.instance().load(in.state()), "network damaged");
    EXPECT_EQ(editor.network, 6);
    EXPECT_EQ(std::count(graph.log.begin(), graph.log.end(), "editorLoad"), 2);
}

TEST_F(FilterLifecycle, SaveHandsBackTheEditorsFailureAfterEndingTheBlock) {
    minihost::ImageFilter filter;
    graph.saveResult = "disk full";
    minihost::SaveStream out;
    EXPECT_STREQ(filter.instance().save(out.state()), "disk full");
    EXPECT_TRUE(out.balanced());
}

TEST_F(FilterLifecycle, EditorChangesAreReportedAsChangesOfTheFilter) {
    minihost::ImageFilter filter;
    fake::Editor& editor = graph.lastEditor();
    ASSERT_NE(editor.display, nullptr);
    editor.display(editor.root);
    EXPECT_EQ(host.updates().count(CLASS_IMAGE_FILTER_HANDLER, filter.get()), 1u);
    // A node the editor does not know has no filter behind it.
    editor.display(graph.newNode("stray"));
    EXPECT_EQ(host.updates().calls().size(), 1u);

    ASSERT_NE(editor.autosize, nullptr);
    double six[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(editor.autosize(nullptr, nullptr, six), 0);
    EXPECT_EQ(std::vector<double>(six, six + 6), (std::vector<double>{0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(editor.autosize(nullptr, nullptr, nullptr), 0);
}

TEST_F(FilterLifecycle, FlagsWithoutAccessNodesAreZero) {
    minihost::ImageFilter filter;
    EXPECT_EQ(filter.flags(), 0u);
    graph.lastEditor().rootInputs[0]->connected = true;
    EXPECT_EQ(filter.flags(), 0u);
}

TEST_F(FilterLifecycle, NullInstancesAreHarmless) {
    const InstanceFuncs& inst = *handler.inst;
    minihost::SaveStream out;
    minihost::Block root;
    minihost::LoadStream in(root);
    EXPECT_EQ(inst.save(nullptr, &out.state()), nullptr);
    EXPECT_TRUE(out.root().children.empty());
    EXPECT_EQ(inst.load(nullptr, &in.state()), nullptr);
    EXPECT_STREQ(inst.describe(nullptr), "Tavi Node ImageFilter");
    EXPECT_EQ(handler.flags(nullptr), 0u);
    handler.item->changeID(nullptr, nullptr);
    inst.destroy(nullptr);
}

} // namespace
