// A scripted node graph standing in for the host's node services, so that the
// image filter and access node can be driven one call at a time: root inputs
// whose connection and value the test chooses, outputs whose set value lands
// in a test record, and a log of the calls that order matters for.
#pragma once

#include <minihost/host.h>
#include <shared/nodalsample.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace fake {

// What output set value writes to: the test passes its address as the value
// handle of an evaluate call.
struct Value {
    double v[3] = {-99.0, -99.0, -99.0};
    int sets = 0;
};

struct Input {
    NodeID node = nullptr;
    int32_t type = 0;
    std::string name;
    bool connected = false;
    // Fills the network's value for a sample; default: zeros.
    std::function<void(NodalSample&, double*)> value;
    int evaluations = 0;
};

struct Output {
    NodeID node = nullptr;
    int32_t type = 0;
    std::string name;
    bool destroyed = false;
};

struct Node {
    std::string name;
    int32_t mode = 0;
};

struct Editor {
    std::string name, title;
    NodeEditorInit init{};
    void* userData = nullptr;
    EnvGroupID group = nullptr;
    NodeDisplayEventFunc display = nullptr;
    NodeAutosizeFunc autosize = nullptr;
    NodeID root = nullptr;
    std::vector<Input*> rootInputs;
    int32_t network = 0; // what save writes and load reads back
    bool destroyed = false;
    int opens = 0;
};

class Graph {
  public:
    // Provides the four node services to the host for the graph's lifetime.
    explicit Graph(minihost::Host& host);
    ~Graph();
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;
    static Graph& current();

    Editor& editor(NodeEditorID id) { return *reinterpret_cast<Editor*>(id); }
    Editor& lastEditor() { return editors.back(); }
    Input& input(NodeInputID id) { return *reinterpret_cast<Input*>(id); }
    Output& output(NodeOutputID id) { return *reinterpret_cast<Output*>(id); }
    Node& node(NodeID id) { return *reinterpret_cast<Node*>(id); }
    NodeID newNode(std::string name);
    // The root input of the editor named so; throws when there is none.
    Input& rootInput(Editor& editor, const std::string& name);

    std::deque<Editor> editors;
    std::deque<Input> inputs;
    std::deque<Output> outputs;
    std::deque<Node> nodes;
    // "init 1", "newTime 3 0.5", "cleanup", ...: calls whose order matters.
    std::vector<std::string> log;
    bool failEditorCreate = false;
    const char* saveResult = nullptr;
    const char* loadResult = nullptr;
    int connectedCalls = 0;
};

} // namespace fake
