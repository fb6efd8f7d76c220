#include "fake_graph.h"

#include <host/hostapi.h>

#include <cstring>
#include <stdexcept>

namespace fake {

namespace {

Graph* gGraph = nullptr;

const BlockID kNetworkBlock[] = {{blockIdOf('N', 'E', 'T', 'W'), "Network"}, {0, nullptr}};

template <class T> T* handle(void* p) {
    return reinterpret_cast<T*>(p);
}

// Node editor: every operation the module calls, recorded on the graph. They
// are called by the module with the handles they returned; a failure inside
// one ends the test program rather than unwinding through the module.
NodeEditorID editorCreate(const char* name, const char* title, const NodeEditorInit* init,
                          void* userData) noexcept {
    Graph& g = Graph::current();
    g.log.push_back(std::string("editorCreate ") + name);
    if (g.failEditorCreate)
        return nullptr;
    Editor& e = g.editors.emplace_back();
    e.name = name;
    e.title = title;
    std::memcpy(&e.init, init, sizeof e.init);
    e.userData = userData;
    e.root = g.newNode("root");
    return handle<HostNodeEditor>(&e);
}
void editorDestroy(NodeEditorID id) noexcept {
    Graph::current().editor(id).destroyed = true;
    Graph::current().log.push_back("editorDestroy");
}
void setDisplayEvent(NodeEditorID id, NodeDisplayEventFunc f) noexcept {
    Graph::current().editor(id).display = f;
}
int32_t editorCopy(NodeEditorID to, NodeEditorID from) noexcept {
    Graph& g = Graph::current();
    g.editor(to).network = g.editor(from).network;
    g.log.push_back("editorCopy");
    return 1;
}
const char* editorSave(NodeEditorID id, const SaveState* s) noexcept {
    Graph& g = Graph::current();
    s->beginBlock(s->writeData, &kNetworkBlock[0], 1);
    s->writeInts(s->writeData, &g.editor(id).network, 1);
    s->endBlock(s->writeData);
    return g.saveResult;
}
const char* editorLoad(NodeEditorID id, const LoadState* l) noexcept {
    Graph& g = Graph::current();
    while (uint32_t found = l->findBlock(l->readData, kNetworkBlock)) {
        (void)found;
        l->readInts(l->readData, &g.editor(id).network, 1);
        l->endBlock(l->readData);
    }
    g.log.push_back("editorLoad");
    return g.loadResult;
}
void editorInit(NodeEditorID, int32_t mode) noexcept {
    Graph::current().log.push_back("init " + std::to_string(mode));
}
void editorNewTime(NodeEditorID, int32_t frame, double time) noexcept {
    Graph::current().log.push_back("newTime " + std::to_string(frame) + " " + std::to_string(time));
}
void editorCleanup(NodeEditorID) noexcept {
    Graph::current().log.push_back("cleanup");
}
NodeInputID addRootInput(NodeEditorID id, int32_t type, const char* name, void*) noexcept {
    Graph& g = Graph::current();
    Editor& e = g.editor(id);
    Input& in = g.inputs.emplace_back();
    in.node = e.root;
    in.type = type;
    in.name = name;
    e.rootInputs.push_back(&in);
    return handle<HostNodeInput>(&in);
}
void setEnvGroup(NodeEditorID id, EnvGroupID group) noexcept {
    Graph::current().editor(id).group = group;
}
void setAutosize(NodeEditorID id, NodeAutosizeFunc f) noexcept {
    Graph::current().editor(id).autosize = f;
}
// The node reference of an editor's root node, as the display event gets it.
void* userData(NodeID node) noexcept {
    for (Editor& e : Graph::current().editors)
        if (e.root == node)
            return e.userData;
    return nullptr;
}
void editorOpen(NodeEditorID id) noexcept {
    Graph::current().editor(id).opens++;
}
NodeID rootNode(NodeEditorID id) noexcept {
    return Graph::current().editor(id).root;
}

const char* nodeName(NodeID node) noexcept {
    return Graph::current().node(node).name.c_str();
}
void setNodeMode(NodeID node, int32_t mode) noexcept {
    Graph::current().node(node).mode = mode;
}

NodeInputID inputCreate(NodeID node, int32_t type, const char* name, void*) noexcept {
    Input& in = Graph::current().inputs.emplace_back();
    in.node = node;
    in.type = type;
    in.name = name;
    return handle<HostNodeInput>(&in);
}
int32_t inputEvaluate(NodeInputID id, NodalSample* sample, double* out) noexcept {
    Input& in = Graph::current().input(id);
    in.evaluations++;
    out[0] = out[1] = out[2] = 0.0;
    if (in.value)
        in.value(*sample, out);
    return 1;
}
int32_t inputConnected(NodeInputID id) noexcept {
    Graph::current().connectedCalls++;
    return Graph::current().input(id).connected ? 1 : 0;
}

NodeOutputID outputCreate(NodeID node, int32_t type, const char* name) noexcept {
    Output& out = Graph::current().outputs.emplace_back();
    out.node = node;
    out.type = type;
    out.name = name;
    return handle<HostNodeOutput>(&out);
}
void outputDestroy(NodeID, NodeOutputID id) noexcept {
    Graph::current().output(id).destroyed = true;
}
int32_t outputSetValue(NodeValue value, const double* values) noexcept {
    Value* v = reinterpret_cast<Value*>(value);
    std::memcpy(v->v, values, sizeof v->v);
    v->sets++;
    return 1;
}

NodeEditorFuncs makeEditorTable() {
    NodeEditorFuncs t{};
    t.create = editorCreate;
    t.destroy = editorDestroy;
    t.setDisplayEvent = setDisplayEvent;
    t.copy = editorCopy;
    t.save = editorSave;
    t.load = editorLoad;
    t.init = editorInit;
    t.newTime = editorNewTime;
    t.cleanup = editorCleanup;
    t.addRootInput = addRootInput;
    t.setEnvGroup = setEnvGroup;
    t.setAutosize = setAutosize;
    t.userData = userData;
    t.open = editorOpen;
    t.rootNode = rootNode;
    return t;
}

NodeEditorFuncs gEditorTable = makeEditorTable();
NodeFuncs gNodeTable = {nodeName, {}, setNodeMode};
NodeInputFuncs gInputTable = {inputCreate, nullptr, inputEvaluate, inputConnected};
NodeOutputFuncs gOutputTable = {outputCreate, outputDestroy, outputSetValue};

} // namespace

Graph::Graph(minihost::Host& host) {
    if (gGraph)
        throw std::logic_error("one fake graph at a time");
    gGraph = this;
    host.provide(SERVICE_NODE_EDITOR, &gEditorTable);
    host.provide(SERVICE_NODE, &gNodeTable);
    host.provide(SERVICE_NODE_INPUT, &gInputTable);
    host.provide(SERVICE_NODE_OUTPUT, &gOutputTable);
}

Graph::~Graph() {
    gGraph = nullptr;
}

Graph& Graph::current() {
    if (!gGraph)
        throw std::logic_error("no fake graph");
    return *gGraph;
}

NodeID Graph::newNode(std::string name) {
    Node& n = nodes.emplace_back();
    n.name = std::move(name);
    return handle<HostNode>(&n);
}

Input& Graph::rootInput(Editor& editor, const std::string& name) {
    for (Input* in : editor.rootInputs)
        if (in->name == name)
            return *in;
    throw std::logic_error("no root input " + name);
}

} // namespace fake
