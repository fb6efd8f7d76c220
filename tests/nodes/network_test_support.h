// Shared set-up for the node editor tests: a host with one editor whose root
// node has a colour input "Color" and a scalar input "Alpha", and helpers
// that drive the node services as a filter would.
#pragma once

#include "fixtures/test_node_module.h"
#include "module_file.h"

#include <minihost/host.h>
#include <minihost/nodes/node_editor.h>
#include <minihost/ring.h>
#include <minihost/streams.h>

#include <gtest/gtest.h>

namespace nodes_test {

using minihost::Value;
using minihost::ValueType;

inline const BlockID kFilterBlock{blockIdOf('I', 'N', 'O', 'D'), "Nodes"};
inline const BlockID kFilterTable[] = {kFilterBlock, {0, nullptr}};

template <typename T> T& service(const char* name) {
    auto* table = static_cast<T*>(minihost::Host::lookup(name, 0));
    if (!table)
        throw minihost::HostError(std::string("no service ") + name);
    return *table;
}

inline const NodeEditorFuncs& editorFuncs() {
    return service<NodeEditorFuncs>(SERVICE_NODE_EDITOR);
}
inline const NodeInputFuncs& inputFuncs() {
    return service<NodeInputFuncs>(SERVICE_NODE_INPUT);
}

// Saves the editor's network inside a filter's "INOD" block, as the filters do.
inline minihost::Block saveThroughService(const minihost::NodeEditor& editor,
                                          const char** result = nullptr) {
    minihost::SaveStream save;
    save.beginBlock(kFilterBlock.id, kFilterBlock.name, false);
    const char* r = editorFuncs().save(editor.handle(), &save.state());
    save.endBlock();
    EXPECT_TRUE(save.balanced());
    if (result)
        *result = r;
    else
        EXPECT_EQ(r, nullptr) << editor.lastError();
    return save.root();
}

// Loads from the "INOD" block of a saved tree, as the filters do.
inline const char* loadThroughService(minihost::NodeEditor& editor, const minihost::Block& root) {
    minihost::LoadStream load(root);
    const LoadState& l = load.state();
    const char* result = nullptr;
    while (uint32_t id = l.findBlock(l.readData, kFilterTable)) {
        if (id == kFilterBlock.id)
            result = editorFuncs().load(editor.handle(), &l);
        l.endBlock(l.readData);
    }
    return result;
}

class NetworkTest : public ::testing::Test {
  protected:
    NetworkTest() {
        editor.addRootInput(ValueType::Color, "Color");
        editor.addRootInput(ValueType::Scalar, "Alpha");
    }

    Value rootValue(std::string_view input) { return net.evaluate("Root", input, sample); }

    int userTag = 0;
    minihost::Host host;
    minihost::NodeEditor& editor =
        host.nodeEditors().create("Test", "Test editor 1.0", nullptr, &userTag);
    minihost::Network& net = editor.network();
    NodalSample sample{};
};

// The same with the test node module loaded.
class ModuleNetworkTest : public NetworkTest {
  protected:
    ModuleNetworkTest() { host.loadModule(testing_paths::fixture("test_node_module")); }

    ScaleNodeInstance& scale(std::string_view name) {
        return *static_cast<ScaleNodeInstance*>(net.getModule(name).instance());
    }
    std::size_t liveScaleNodes() { return host.ring().attachments(TEST_SCALE_TOPIC); }
};

} // namespace nodes_test
