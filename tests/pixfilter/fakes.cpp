#include "fakes.h"

#include <minihost/panels.h>

#include <cstring>
#include <stdexcept>

namespace fakes {

namespace {
NodeGraph* gGraph = nullptr;
PanelSpy* gSpy = nullptr;
Sample* gSample = nullptr;

const BlockID kNetworkTable[] = {{blockIdOf('N', 'E', 'T', 'W'), "Network"}, {0, nullptr}};

Editor* editorOf(NodeEditorID id) {
    return reinterpret_cast<Editor*>(id);
}

bool inRange(int32_t code) {
    return code >= 0 && code < 40;
}

// A value handle: where output set value puts the node's doubles.
struct ValueSlot {
    double values[3];
};
} // namespace

Output* Node::output(const std::string& outputName) {
    for (Output& o : outputs)
        if (o.name == outputName)
            return &o;
    return nullptr;
}

Input* Editor::input(const std::string& inputName) {
    for (Input& i : inputs)
        if (i.name == inputName)
            return &i;
    return nullptr;
}

// The C service functions the module calls.
struct NodeServices {
    static NodeEditorID create(const char* name, const char* title, const NodeEditorInit* init,
                               void* userData) {
        NodeGraph& g = NodeGraph::current();
        if (g.failNext_) {
            g.failNext_ = false;
            return nullptr;
        }
        Editor& e = g.editors_.emplace_back();
        e.name = name;
        e.title = title;
        e.init = *init;
        e.userData = userData;
        e.root.name = "Root";
        return reinterpret_cast<NodeEditorID>(&e);
    }
    static void destroy(NodeEditorID id) { editorOf(id)->destroyed = true; }
    static void setDisplayEvent(NodeEditorID id, NodeDisplayEventFunc f) {
        editorOf(id)->displayEvent = f;
    }
    static int32_t copy(NodeEditorID to, NodeEditorID from) {
        editorOf(to)->network = editorOf(from)->network;
        editorOf(to)->calls.push_back("copy");
        return 1;
    }
    static const char* save(NodeEditorID id, const SaveState* s) {
        s->beginBlock(s->writeData, &kNetworkTable[0], 1);
        s->writeInts(s->writeData, &editorOf(id)->network, 1);
        s->endBlock(s->writeData);
        return editorOf(id)->saveResult;
    }
    static const char* load(NodeEditorID id, const LoadState* l) {
        while (l->findBlock(l->readData, kNetworkTable)) {
            l->readInts(l->readData, &editorOf(id)->network, 1);
            l->endBlock(l->readData);
        }
        return editorOf(id)->loadResult;
    }
    static void init(NodeEditorID id, int32_t mode) {
        Editor* e = editorOf(id);
        e->calls.push_back("init " + std::to_string(mode));
        for (const Member& m : e->members)
            m.handler->rend->init(m.instance, mode);
    }
    static void newTime(NodeEditorID id, int32_t frame, double time) {
        Editor* e = editorOf(id);
        e->calls.push_back("newtime " + std::to_string(frame));
        for (const Member& m : e->members)
            m.handler->rend->newTime(m.instance, frame, time);
    }
    static void cleanup(NodeEditorID id) {
        Editor* e = editorOf(id);
        e->calls.push_back("cleanup");
        for (const Member& m : e->members)
            m.handler->rend->cleanup(m.instance);
    }
    static NodeInputID addRootInput(NodeEditorID id, int32_t type, const char* name, void*) {
        return editorOf(id)->inputs.emplace_back(Input{type, name, {}}).handle();
    }
    static void setEnvGroup(NodeEditorID id, EnvGroupID group) { editorOf(id)->group = group; }
    static void setAutosize(NodeEditorID id, NodeAutosizeFunc f) { editorOf(id)->autosize = f; }
    static void* userData(NodeID node) {
        for (Editor& e : NodeGraph::current().editors_)
            if (e.root.handle() == node)
                return e.userData;
        return nullptr;
    }
    static void open(NodeEditorID id) { editorOf(id)->calls.push_back("open"); }
    static NodeID rootNode(NodeEditorID id) { return editorOf(id)->root.handle(); }

    static const char* nodeName(NodeID node) { return reinterpret_cast<Node*>(node)->name.c_str(); }
    static void setNodeMode(NodeID node, int32_t mode) {
        reinterpret_cast<Node*>(node)->mode = mode;
    }

    static int32_t inputEvaluate(NodeInputID id, NodalSample* sample, double* out) {
        Input* in = reinterpret_cast<Input*>(id);
        ++in->evaluations;
        if (in->source)
            in->source(*sample, out);
        return 1;
    }
    static int32_t inputConnected(NodeInputID id) {
        return reinterpret_cast<Input*>(id)->source ? 1 : 0;
    }

    static NodeOutputID outputCreate(NodeID node, int32_t type, const char* name) {
        Node* n = reinterpret_cast<Node*>(node);
        if (NodeGraph::current().failOutput == name)
            return nullptr;
        return n->outputs.emplace_back(Output{n, type, name}).handle();
    }
    static void outputDestroy(NodeID node, NodeOutputID id) {
        reinterpret_cast<Node*>(node)->outputs.remove_if(
            [&](Output& o) { return o.handle() == id; });
    }
    static int32_t outputSetValue(NodeValue value, const double* values) {
        ++NodeGraph::current().setValueCalls;
        std::memcpy(reinterpret_cast<ValueSlot*>(value)->values, values, 3 * sizeof(double));
        return 1;
    }
};

namespace {
NodeEditorFuncs editorTable() {
    NodeEditorFuncs t{};
    t.create = NodeServices::create;
    t.destroy = NodeServices::destroy;
    t.setDisplayEvent = NodeServices::setDisplayEvent;
    t.copy = NodeServices::copy;
    t.save = NodeServices::save;
    t.load = NodeServices::load;
    t.init = NodeServices::init;
    t.newTime = NodeServices::newTime;
    t.cleanup = NodeServices::cleanup;
    t.addRootInput = NodeServices::addRootInput;
    t.setEnvGroup = NodeServices::setEnvGroup;
    t.setAutosize = NodeServices::setAutosize;
    t.userData = NodeServices::userData;
    t.open = NodeServices::open;
    t.rootNode = NodeServices::rootNode;
    return t;
}

NodeEditorFuncs gEditorTable = editorTable();
NodeFuncs gNodeTable = {NodeServices::nodeName, {}, NodeServices::setNodeMode};
NodeInputFuncs gInputTable = {
    nullptr, {}, NodeServices::inputEvaluate, NodeServices::inputConnected};
NodeOutputFuncs gOutputTable = {NodeServices::outputCreate, NodeServices::outputDestroy,
                                NodeServices::outputSetValue};
} // namespace

NodeGraph::NodeGraph(minihost::Host& host) {
    if (gGraph)
        throw std::logic_error("one fake node graph at a time");
    gGraph = this;
    host.provide(SERVICE_NODE_EDITOR, &gEditorTable);
    host.provide(SERVICE_NODE, &gNodeTable);
    host.provide(SERVICE_NODE_INPUT, &gInputTable);
    host.provide(SERVICE_NODE_OUTPUT, &gOutputTable);
}

NodeGraph::~NodeGraph() {
    gGraph = nullptr;
}

NodeGraph& NodeGraph::current() {
    if (!gGraph)
        throw std::logic_error("no fake node graph");
    return *gGraph;
}

Node& NodeGraph::makeNode(std::string name) {
    Node& n = nodes_.emplace_back();
    n.name = std::move(name);
    return n;
}

void NodeGraph::evaluateOutput(const Member& member, Output& output, NodalSample& sample,
                               double* out) {
    ValueSlot slot{{0.0, 0.0, 0.0}};
    member.handler->evaluate(member.instance, &sample, output.handle(),
                             reinterpret_cast<NodeValue>(&slot));
    std::memcpy(out, slot.values, sizeof slot.values);
}

Source NodeGraph::fromOutput(Member member, Output& output) {
    return [member, &output](NodalSample& sample, double* out) {
        evaluateOutput(member, output, sample, out);
    };
}

PanelSpy::PanelSpy(minihost::Host& host) : table_(minihost::Panels::table) {
    if (gSpy)
        throw std::logic_error("one panel spy at a time");
    gSpy = this;
    table_.describe = describe;
    host.provide(SERVICE_PANELS, &table_);
}

PanelSpy::~PanelSpy() {
    gSpy = nullptr;
}

int32_t PanelSpy::describe(PanelID panel, const PanelDataDesc* data, PanelGetFunc get,
                           PanelSetFunc set) {
    if (gSpy) {
        gSpy->get = get;
        gSpy->set = set;
    }
    return minihost::Panels::table.describe(panel, data, get, set);
}

Sample::Sample() {
    if (gSample)
        throw std::logic_error("one fake sample at a time");
    gSample = this;
    record.getValue = getValue;
    record.setValue = setValue;
    for (int i = 0; i < 4; ++i)
        record.rayFuncs[i] = reinterpret_cast<HostFunc>(static_cast<uintptr_t>(0x100 + i));
}

Sample::~Sample() {
    gSample = nullptr;
}

void Sample::getValue(int32_t code, int32_t count, float* out) {
    gSample->calls.push_back({'g', code, count});
    for (int32_t i = 0; i < count; ++i)
        out[i] = inRange(code + i) ? gSample->values[static_cast<std::size_t>(code + i)] : 0.0f;
}

void Sample::setValue(int32_t code, int32_t count, const float* in) {
    gSample->calls.push_back({'s', code, count});
    for (int32_t i = 0; i < count; ++i)
        if (inRange(code + i))
            gSample->values[static_cast<std::size_t>(code + i)] = in[i];
}

} // namespace fakes
